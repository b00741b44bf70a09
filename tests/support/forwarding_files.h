#pragma once

#include <string>

#include "platform/file_actions.h"

namespace kestrune::test {

// The system's file actions, for a test to override just the one it steps in at.
class ForwardingFiles : public FileActions {
  public:
    ActionResult move(const std::string& source, const std::string& target) override {
        return system.move(source, target);
    }
    ActionResult copy(const std::string& source, const std::string& target) override {
        return system.copy(source, target);
    }
    ActionResult remove(const std::string& path) override { return system.remove(path); }
    ActionResult makeFolder(const std::string& path) override { return system.makeFolder(path); }
    ActionResult removeFolder(const std::string& path) override {
        return system.removeFolder(path);
    }
    bool exists(const std::string& path) override { return system.exists(path); }
    bool isFolder(const std::string& path) override { return system.isFolder(path); }

    FileActions& system = systemFileActions();
};

}  // namespace kestrune::test
