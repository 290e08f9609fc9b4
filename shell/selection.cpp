#include "shell/selection.h"

namespace {

std::unique_ptr<SelectionSource> &KeptSelection() {
    static std::unique_ptr<SelectionSource> kept;
    return kept;
}

} // namespace

std::string ListSelection::Path(size_t index) const {
    return index < paths_.size() ? paths_[index] : std::string();
}

void SetSelection(std::unique_ptr<SelectionSource> selection) {
    // Destroy the old one only after the new one is in place, so that a source whose
    // destructor reads the selection never sees a half-replaced state.
    std::unique_ptr<SelectionSource> old = std::move(KeptSelection());
    KeptSelection() = std::move(selection);
}

size_t GetSelectionCount() {
    const auto &kept = KeptSelection();
    return kept ? kept->Count() : 0;
}

std::string GetSelectionPath(size_t index) {
    const auto &kept = KeptSelection();
    return kept ? kept->Path(index) : std::string();
}
