#pragma once

#include <string>

#include "platform/file_actions.h"

namespace kestrune::test {

// The system's file actions, for a test to override just the ones it steps in at.
class ForwardingFiles : public FileActions {
  public:
    ActionResult openFolder(const std::string& root, const std::string& relative,
                            OpenFolder& out) override {
        return system.openFolder(root, relative, out);
    }
    ActionResult rename(const OpenFolder& from, const std::string& name,
                        const EntryIdentity& expected, const OpenFolder& to,
                        const std::string& newName, EntryIdentity& made) override {
        return system.rename(from, name, expected, to, newName, made);
    }
    ActionResult remove(const OpenFolder& folder, const std::string& name,
                        const EntryIdentity& expected) override {
        return system.remove(folder, name, expected);
    }
    ActionResult removeFolder(const OpenFolder& folder, const std::string& name,
                              const EntryIdentity& expected) override {
        return system.removeFolder(folder, name, expected);
    }
    ActionResult copyToTemporary(const OpenFolder& from, const std::string& name,
                                 const EntryIdentity& expected, bool followLink,
                                 const OpenFolder& to, TemporaryCopy& out) override {
        return system.copyToTemporary(from, name, expected, followLink, to, out);
    }
    ActionResult flush(const OpenFolder& folder) override { return system.flush(folder); }
    ActionResult placeTemporary(const OpenFolder& folder, const TemporaryCopy& copy,
                                const std::string& name, EntryIdentity& made) override {
        return system.placeTemporary(folder, copy, name, made);
    }
    void discardTemporary(const OpenFolder& folder, const TemporaryCopy& copy) override {
        system.discardTemporary(folder, copy);
    }
    ActionResult removeCopiedSource(const OpenFolder& from, const std::string& name,
                                    const TemporaryCopy& copy) override {
        return system.removeCopiedSource(from, name, copy);
    }
    ActionResult makeFolder(const std::string& path) override { return system.makeFolder(path); }
    bool exists(const std::string& path) override { return system.exists(path); }
    bool isFolder(const std::string& path) override { return system.isFolder(path); }

    FileActions& system = systemFileActions();
};

}  // namespace kestrune::test
