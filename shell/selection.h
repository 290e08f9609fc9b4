// The kept selection: the paths a command works on. The context-menu handler stores the file
// manager's selection here; the command line tool stores its arguments. The batch processor, the
// Info command and the handler read it through GetSelectionCount and GetSelectionPath.
//
// Module-level and unsynchronised: one command runs at a time on one thread.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// A source of selected paths, read on demand. Paths are UTF-8 and of any length.
class SelectionSource {
public:
    virtual ~SelectionSource() = default;
    virtual size_t Count() const = 0;
    // The i-th path, or an empty string when it cannot be read (or i is out of range).
    virtual std::string Path(size_t index) const = 0;
};

// A fixed list of paths, in the order given.
class ListSelection final : public SelectionSource {
public:
    explicit ListSelection(std::vector<std::string> paths) : paths_(std::move(paths)) {}
    size_t Count() const override { return paths_.size(); }
    std::string Path(size_t index) const override;

private:
    std::vector<std::string> paths_;
};

// Replaces the kept selection (the previous one is destroyed); nullptr leaves none kept.
void SetSelection(std::unique_ptr<SelectionSource> selection);

// The number of kept paths; 0 when no selection is kept.
size_t GetSelectionCount();

// The i-th kept path; empty when no selection is kept, i is out of range or it cannot be read.
std::string GetSelectionPath(size_t index);
