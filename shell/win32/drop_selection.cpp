#include "shell/win32/drop_selection.h"

#include "platform/win32/utf16.h"
#include "shell/win32/com_module.h"

#include <shellapi.h>

#include <vector>

namespace {

// The drop handle of the data object, released when this goes out of scope.
class DropMedium {
public:
    explicit DropMedium(IDataObject *data) {
        FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        ok_ = data && SUCCEEDED(data->GetData(&format, &medium_)) &&
              medium_.tymed == TYMED_HGLOBAL && medium_.hGlobal;
    }
    ~DropMedium() {
        if (ok_) ReleaseStgMedium(&medium_);
    }
    DropMedium(const DropMedium &) = delete;
    DropMedium &operator=(const DropMedium &) = delete;

    HDROP Get() const { return ok_ ? static_cast<HDROP>(medium_.hGlobal) : nullptr; }

private:
    STGMEDIUM medium_ = {};
    bool ok_ = false;
};

} // namespace

DropSelection::DropSelection(IDataObject *data) : data_(data) {
    if (data_) data_->AddRef();
}

DropSelection::~DropSelection() {
    // When the process is ending, the file manager's object may already be gone.
    if (data_ && !ModuleProcessEnding()) data_->Release();
}

size_t DropSelection::Count() const {
    DropMedium medium(data_);
    if (!medium.Get()) return 0;
    return DragQueryFileW(medium.Get(), 0xFFFFFFFF, nullptr, 0);
}

std::string DropSelection::Path(size_t index) const {
    DropMedium medium(data_);
    if (!medium.Get() || index >= 0xFFFFFFFF) return std::string();
    const UINT file = static_cast<UINT>(index);
    const UINT length = DragQueryFileW(medium.Get(), file, nullptr, 0);
    if (length == 0) return std::string();
    std::vector<wchar_t> name(length + 1, L'\0');
    const UINT copied = DragQueryFileW(medium.Get(), file, name.data(), length + 1);
    return platform::win32::narrow(std::wstring(name.data(), copied));
}
