#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/forwarding_files.h"

namespace kestrune::test {

// Thrown out of the file actions where the power goes.
struct PowerCut {};

// Stands between the executor and the disk and cuts the power at the chosen call (counting
// every call that changes the disk or flushes it): every change made since the last flush
// of its file system is taken back, newest first, as a disk that loses what it had not
// written would, and the executor is stopped dead by a PowerCut. A removed entry is kept
// under a name of its own until its removal is flushed, so it can come back.
class PowerCutFiles : public ForwardingFiles {
  public:
    explicit PowerCutFiles(int cutAt) : cutAt_(cutAt) {}
    // The power went during the run.
    bool cut() const { return cut_; }

    ActionResult makeFolder(const OpenFolder& parent, const std::string& name,
                            bool private_) override;
    ActionResult removeFolder(const OpenFolder& folder, const std::string& name,
                              const EntryIdentity& expected) override;
    ActionResult rename(const OpenFolder& from, const std::string& name,
                        const EntryIdentity& expected, const OpenFolder& to,
                        const std::string& newName, EntryIdentity& made) override;
    ActionResult remove(const OpenFolder& folder, const std::string& name,
                        const EntryIdentity& expected) override;
    ActionResult removeMade(const OpenFolder& folder, const std::string& name,
                            const EntryIdentity& expected) override;
    ActionResult copyToTemporary(const OpenFolder& from, const std::string& name,
                                 const EntryIdentity& expected, const OpenFolder& to,
                                 const std::string& temporaryName, const std::atomic<bool>* stop,
                                 TemporaryCopy& out) override;
    ActionResult flush(const OpenFolder& folder) override;
    ActionResult placeTemporary(const OpenFolder& folder, const TemporaryCopy& copy,
                                const std::string& name, EntryIdentity& made) override;
    void discardTemporary(const OpenFolder& folder, const TemporaryCopy& copy) override;
    ActionResult removeCopiedSource(const OpenFolder& from, const std::string& name,
                                    const TemporaryCopy& copy) override;
    ActionResult writeNewFile(const OpenFolder& folder, const std::string& name,
                              const std::string& content) override;

  private:
    struct Change {
        std::uint64_t device;
        std::function<void()> takeBack;
        std::function<void()> onFlush;  // what the flush makes final
    };
    // Counts the call; at the cut point takes every unflushed change back and throws.
    void tick();
    // Runs a removal of the entry so that it can come back: it is first linked to a name of
    // its own, dropped when the removal is flushed.
    ActionResult removing(const OpenFolder& folder, const std::string& name,
                          std::int64_t expectedChange,
                          const std::function<ActionResult(std::int64_t)>& removal);
    void changed(const OpenFolder& folder, std::function<void()> takeBack,
                 std::function<void()> onFlush = {});

    int cutAt_;
    int calls_ = 0;
    bool cut_ = false;
    int kept_ = 0;
    std::vector<Change> unflushed_;
};

}  // namespace kestrune::test
