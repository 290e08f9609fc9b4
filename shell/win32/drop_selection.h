// The file manager's selection as a source of paths: a kept reference to its data object,
// read through the file-drop format (CF_HDROP) each time it is asked.
#pragma once

#include "shell/selection.h"

#include <windows.h>

#include <objidl.h>

class DropSelection final : public SelectionSource {
public:
    explicit DropSelection(IDataObject *data); // adds a reference
    ~DropSelection() override;                 // releases it
    DropSelection(const DropSelection &) = delete;
    DropSelection &operator=(const DropSelection &) = delete;

    size_t Count() const override;
    std::string Path(size_t index) const override;

private:
    IDataObject *data_;
};
