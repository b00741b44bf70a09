#include "platform/file_actions.h"

#include <cerrno>

#include "platform/file_io.h"

namespace kestrune {

ActionResult ActionResult::failure(int code) {
    return {code, systemErrorText(code)};
}

ActionResult ActionResult::failure(int code, std::string text) {
    return {code, std::move(text)};
}

namespace failures {

ActionResult changed() {
    return ActionResult::failure(ESTALE, "the entry changed since it was listed");
}

ActionResult changedWhileCopied() {
    return ActionResult::failure(ESTALE, "the source changed while it was copied");
}

ActionResult replacedFolder(int code, const std::string& path) {
    return ActionResult::failure(code, "the folder " + path + " was replaced since it was listed");
}

ActionResult notAllRemoved() {
    return ActionResult::failure(
        ENOTEMPTY, "not all of it could go: something in it was added or changed since");
}

ActionResult stopped() {
    return ActionResult::failure(ECANCELED, "stopped");
}

}  // namespace failures

}  // namespace kestrune
