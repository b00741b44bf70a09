#pragma once

#include <string>

#include "platform/file_actions.h"

namespace kestrune::test {

// The system's file actions, for a test to override just the ones it steps in at.
class ForwardingFiles : public FileActions {
  public:
    ActionResult openRoot(const std::string& path, OpenFolder& out) override {
        return system.openRoot(path, out);
    }
    ActionResult openBelow(const OpenFolder& parent, const std::string& name,
                           OpenFolder& out) override {
        return system.openBelow(parent, name, out);
    }
    ActionResult makeFolder(const OpenFolder& parent, const std::string& name,
                            bool private_) override {
        return system.makeFolder(parent, name, private_);
    }
    ActionResult removeFolder(const OpenFolder& folder, const std::string& name,
                              const EntryIdentity& expected) override {
        return system.removeFolder(folder, name, expected);
    }
    ActionResult readShape(const OpenFolder& folder, const std::string& name,
                           FolderShape& out) override {
        return system.readShape(folder, name, out);
    }
    ActionResult giveShape(const OpenFolder& folder, const std::string& name,
                           const FolderShape& shape) override {
        return system.giveShape(folder, name, shape);
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
    ActionResult removeMade(const OpenFolder& folder, const std::string& name,
                            const EntryIdentity& expected) override {
        return system.removeMade(folder, name, expected);
    }
    ActionResult copyToTemporary(const OpenFolder& from, const std::string& name,
                                 const EntryIdentity& expected, const OpenFolder& to,
                                 const std::string& temporaryName, const std::atomic<bool>* stop,
                                 TemporaryCopy& out) override {
        return system.copyToTemporary(from, name, expected, to, temporaryName, stop, out);
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
    ActionResult writeNewFile(const OpenFolder& folder, const std::string& name,
                              const std::string& content) override {
        return system.writeNewFile(folder, name, content);
    }
    ActionResult readSmallFile(const OpenFolder& folder, const std::string& name,
                               std::string& content) override {
        return system.readSmallFile(folder, name, content);
    }
    bool exists(const std::string& path) override { return system.exists(path); }
    bool isFolder(const std::string& path) override { return system.isFolder(path); }

    FileActions& system = systemFileActions();
};

}  // namespace kestrune::test
