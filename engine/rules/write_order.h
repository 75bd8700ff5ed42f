#pragma once

#include <optional>
#include <vector>

namespace setup {

// Bookkeeping of the ordered writer. Parts complete in any order, but the
// temporary file is written from its first byte to its last without seeking,
// one writer at a time, so completed parts wait here until every part before
// them is on disk.
class WriteOrder {
public:
    // A part has all its bytes. Returns the part whose writer must start
    // now (the part itself when it is the next one to write); otherwise the
    // part waits. Indexes outside 0..39 are ignored.
    std::optional<int> OnPartDone(int index);

    struct Written {
        enum Kind {
            WrongIndex,   // not the part being written: nothing changed, a fault
            StartNext,    // start the writer for `next` now
            WaitForNext,  // `next` is still being received; its completion starts it
            Finished,     // the last part is on disk: close the file, hand off
        } kind;
        int next;  // the part to write next (after Finished: the last part)
    };

    // The writer reports its part as written and flushed. After Finished,
    // every further report is WrongIndex, so the hand-off cannot start twice.
    Written OnPartWritten(int index);

    int NextToWrite() const { return next_; }
    const std::vector<int>& PendingParts() const { return pending_; }

    void Reset();

private:
    int next_ = 0;
    bool finished_ = false;
    std::vector<int> pending_;
};

}  // namespace setup
