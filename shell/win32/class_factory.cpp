#include "shell/win32/class_factory.h"

#include "shell/win32/com_module.h"
#include "shell/win32/com_support.h"
#include "shell/win32/guids.h"
#include "shell/win32/mv_shell_ext_impl.h"

#include <new>

namespace {

using CreateFunction = HRESULT (*)(IUnknown *outer, REFIID iid, void **out);

struct ClassEntry {
    const CLSID *clsid;
    CreateFunction create;
};

const ClassEntry kClasses[] = {
    {&CLSID_MVShellExt, &TMVShellExtImpl::Create},
};

class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(CreateFunction create) : create_(create) { ModuleObjectCreated(); }

    STDMETHODIMP QueryInterface(REFIID iid, void **out) override {
        const InterfaceEntry table[] = {{&IID_IClassFactory, static_cast<IClassFactory *>(this)}};
        return QueryInterfaceFromTable(table, 1, iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return left;
    }

    STDMETHODIMP CreateInstance(IUnknown *outer, REFIID iid, void **out) override {
        return GuardCom([&] { return create_(outer, iid, out); });
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        ModuleLock(lock != FALSE);
        return S_OK;
    }

private:
    ~ClassFactory() { ModuleObjectDestroyed(); }

    CreateFunction create_;
    LONG references_ = 1;
};

} // namespace

HRESULT GetClassFactory(REFCLSID clsid, REFIID iid, void **out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (const ClassEntry &entry : kClasses) {
        if (!IsEqualCLSID(clsid, *entry.clsid)) continue;
        ClassFactory *factory = new (std::nothrow) ClassFactory(entry.create);
        if (!factory) return E_OUTOFMEMORY;
        const HRESULT result = factory->QueryInterface(iid, out);
        factory->Release();
        return result;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}
