// A host that plays the file manager: it creates the registered handler through COM, hands it
// selections, inspects the menu it builds and its help texts, and invokes its commands, which
// the test build of the DLL records instead of running.
#include "com_test_support.h"
#include "fake_data_object.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace {

constexpr UINT kFirstId = 100;

using DoubleReset = void (*)(int, void (*)(void *), void *);
using DoubleLog = void (*)(char *, size_t);
using DoubleSetBatch = void (*)(int, int, int);
using DoubleGetBatch = void (*)(char *, size_t);

struct MenuItem {
    UINT type;
    UINT id;
    std::wstring text;
    bool popup;
};

std::vector<MenuItem> Items(HMENU menu) {
    std::vector<MenuItem> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[64] = {};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU;
        info.dwTypeData = text;
        info.cch = 64;
        GetMenuItemInfoW(menu, i, TRUE, &info);
        items.push_back({info.fType, info.wID, text, info.hSubMenu != nullptr});
    }
    return items;
}

class HandlerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(Regsvr32(L"/s"), 0u); }
    static void TearDownTestSuite() { Regsvr32(L"/u /s"); }

    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        init_ = Create();
        ASSERT_NE(init_, nullptr);
        ASSERT_EQ(init_->QueryInterface(IID_IContextMenu, reinterpret_cast<void **>(&menu_)), S_OK);
        HMODULE dll = GetModuleHandleW(L"QXVShell.dll");
        ASSERT_NE(dll, nullptr);
        reset_ = Export<DoubleReset>(dll, "QxvDoubleReset");
        log_ = Export<DoubleLog>(dll, "QxvDoubleLog");
        set_batch_ = Export<DoubleSetBatch>(dll, "QxvDoubleSetBatch");
        get_batch_ = Export<DoubleGetBatch>(dll, "QxvDoubleGetBatch");
        ASSERT_TRUE(reset_ && log_ && set_batch_ && get_batch_);
        reset_(0, nullptr, nullptr);
        host_ = CreatePopupMenu();
        AppendMenuW(host_, MF_STRING, 1, L"Open");
        AppendMenuW(host_, MF_STRING, 2, L"Properties");
    }

    void TearDown() override {
        // Let go of the kept selection while the fake data objects still exist.
        if (init_) init_->Initialize(nullptr, nullptr, nullptr);
        if (menu_) menu_->Release();
        if (init_) init_->Release();
        DestroyMenu(host_);
        CoUninitialize();
    }

    static IShellExtInit *Create() {
        IShellExtInit *init = nullptr;
        CoCreateInstance(GuidFromText(kClsidText), nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit,
                         reinterpret_cast<void **>(&init));
        return init;
    }

    // Hands over the selection and builds the menu at position 1 of the host menu.
    HRESULT Menu(FakeDataObject *data, UINT flags = CMF_NORMAL, UINT last_id = kFirstId + 50) {
        EXPECT_EQ(init_->Initialize(nullptr, data, nullptr), S_OK);
        return menu_->QueryContextMenu(host_, 1, kFirstId, last_id, flags);
    }

    HRESULT Invoke(UINT_PTR verb, HWND window = reinterpret_cast<HWND>(0x1234)) {
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof info;
        info.hwnd = window;
        info.lpVerb = reinterpret_cast<LPCSTR>(verb);
        info.nShow = SW_SHOWNORMAL;
        return menu_->InvokeCommand(&info);
    }

    std::string Log() const {
        char buffer[4096];
        log_(buffer, sizeof buffer);
        return buffer;
    }

    // The submenu's entries, after checking the separator, popup, separator frame.
    std::vector<MenuItem> Submenu() {
        const std::vector<MenuItem> items = Items(host_);
        EXPECT_EQ(items.size(), 5u);
        if (items.size() != 5) return {};
        EXPECT_EQ(items[0].text, L"Open");
        EXPECT_TRUE(items[1].type & MFT_SEPARATOR);
        EXPECT_TRUE(items[2].popup);
        EXPECT_EQ(items[2].text, L"Quillomar");
        EXPECT_TRUE(items[3].type & MFT_SEPARATOR);
        EXPECT_EQ(items[4].text, L"Properties");
        return Items(GetSubMenu(host_, 2));
    }

    void ExpectEntries(HRESULT result, UINT count) {
        EXPECT_EQ(result, MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, count));
        const std::vector<MenuItem> entries = Submenu();
        ASSERT_EQ(entries.size(), count);
        const wchar_t *texts[] = {L"&Encrypt", L"&Decrypt", L"&Info"};
        for (UINT i = 0; i < count; ++i) {
            EXPECT_EQ(entries[i].text, texts[i]);
            EXPECT_EQ(entries[i].id, kFirstId + i);
        }
    }

    // Data objects outlive the test body: the kept selection is let go only in TearDown.
    FakeDataObject &Fake(std::vector<std::wstring> paths, bool with_drop = true) {
        return fakes_.emplace_back(std::move(paths), with_drop);
    }

    ScratchFolder scratch_;
    std::deque<FakeDataObject> fakes_;
    IShellExtInit *init_ = nullptr;
    IContextMenu *menu_ = nullptr;
    HMENU host_ = nullptr;
    DoubleReset reset_ = nullptr;
    DoubleLog log_ = nullptr;
    DoubleSetBatch set_batch_ = nullptr;
    DoubleGetBatch get_batch_ = nullptr;

    std::string Batch() const {
        char buffer[64];
        get_batch_(buffer, sizeof buffer);
        return buffer;
    }
};

TEST_F(HandlerTest, OnePlainFileGetsInfo) {
    FakeDataObject &data = Fake({scratch_.MakeFile(L"notes.txt")});
    ExpectEntries(Menu(&data), 3);
}

TEST_F(HandlerTest, FoldersSeveralItemsAndEmptySelectionsGetNoInfo) {
    const std::wstring file = scratch_.MakeFile(L"a.txt");
    const std::wstring folder = scratch_.MakeFolder(L"folder");
    const std::vector<std::vector<std::wstring>> selections = {
        {folder},                              // one folder
        {file, scratch_.MakeFile(L"b.txt")},   // two files
        {file, folder},                        // a file and a folder
        {},                                    // nothing
        {scratch_.Path() + L"\\vanished.txt"}, // attributes unreadable: counts as a folder
    };
    for (const auto &paths : selections) {
        FakeDataObject &data = Fake(paths);
        ExpectEntries(Menu(&data), 2);
        while (GetMenuItemCount(host_) > 2)
            DeleteMenu(host_, 1, MF_BYPOSITION);
    }
}

TEST_F(HandlerTest, NoSelectionOrNoFileDropFormatGetsNoInfo) {
    FakeDataObject &no_drop = Fake({scratch_.MakeFile(L"a.txt")}, false);
    ExpectEntries(Menu(&no_drop), 2);
    while (GetMenuItemCount(host_) > 2)
        DeleteMenu(host_, 1, MF_BYPOSITION);
    ExpectEntries(Menu(nullptr), 2);
}

TEST_F(HandlerTest, FlagsDecideWhetherEntriesAreInserted) {
    FakeDataObject &data = Fake({scratch_.MakeFile(L"a.txt")});
    const UINT inserting[] = {CMF_NORMAL, CMF_VERBSONLY, CMF_EXPLORE,
                              CMF_NORMAL | CMF_CANRENAME | CMF_EXTENDEDVERBS,
                              CMF_DEFAULTONLY | CMF_VERBSONLY};
    for (UINT flags : inserting) {
        ExpectEntries(Menu(&data, flags), 3);
        while (GetMenuItemCount(host_) > 2)
            DeleteMenu(host_, 1, MF_BYPOSITION);
    }
    const UINT refusing[] = {CMF_DEFAULTONLY, CMF_NOVERBS, CMF_DEFAULTONLY | CMF_NOVERBS};
    for (UINT flags : refusing) {
        EXPECT_EQ(Menu(&data, flags), MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, 0)) << flags;
        EXPECT_EQ(GetMenuItemCount(host_), 2);
    }
}

TEST_F(HandlerTest, UsesNoIdentifierBeyondTheGrantedRange) {
    FakeDataObject &data = Fake({scratch_.MakeFile(L"a.txt")});
    ExpectEntries(Menu(&data, CMF_NORMAL, kFirstId + 1), 2); // room for two only
    while (GetMenuItemCount(host_) > 2)
        DeleteMenu(host_, 1, MF_BYPOSITION);
    EXPECT_EQ(Menu(&data, CMF_NORMAL, kFirstId), MAKE_HRESULT(SEVERITY_SUCCESS, FACILITY_NULL, 0));
    EXPECT_EQ(GetMenuItemCount(host_), 2);
}

TEST_F(HandlerTest, HelpTextsInSingleByteFormOnlyAndBoundedBySize) {
    const char *expected[] = {"Encrypt selected files", "Decrypt selected files",
                              "Get Quillomar information"};
    for (UINT type : {GCS_HELPTEXTA, GCS_VERBA}) {
        for (UINT_PTR offset = 0; offset < 3; ++offset) {
            char buffer[64];
            std::memset(buffer, 'x', sizeof buffer);
            EXPECT_EQ(menu_->GetCommandString(offset, type, nullptr, buffer, sizeof buffer), S_OK);
            EXPECT_STREQ(buffer, expected[offset]);
        }
    }

    wchar_t wide[64] = L"untouched";
    EXPECT_EQ(
        menu_->GetCommandString(2, GCS_HELPTEXTW, nullptr, reinterpret_cast<char *>(wide), 64),
        S_OK);
    EXPECT_STREQ(wide, L"");  // an empty text, not what was there
    EXPECT_EQ(wide[1], L'n'); // and nothing more

    char buffer[16] = "untouched";
    EXPECT_EQ(menu_->GetCommandString(3, GCS_HELPTEXTA, nullptr, buffer, sizeof buffer), S_OK);
    EXPECT_STREQ(buffer, "");

    char small[8];
    std::memset(small, 'x', sizeof small);
    EXPECT_EQ(menu_->GetCommandString(2, GCS_HELPTEXTA, nullptr, small, 5), S_OK);
    EXPECT_STREQ(small, "Get ");
    EXPECT_EQ(small[5], 'x'); // nothing written past the given size
    EXPECT_EQ(menu_->GetCommandString(0, GCS_HELPTEXTA, nullptr, small, 0), S_OK);
    EXPECT_EQ(small[0], 'G');
    EXPECT_EQ(menu_->GetCommandString(0, GCS_VALIDATEA, nullptr, nullptr, 0), S_OK);
}

TEST_F(HandlerTest, InvokeDispatchesEachOffsetWithTheOwnerWindow) {
    const std::wstring file = scratch_.MakeFile(L"report.doc");
    FakeDataObject &data = Fake({file});
    Menu(&data);
    // Each command finds the batch-wide state reset, whatever the previous one left.
    set_batch_(1, 1, 1);
    EXPECT_EQ(Invoke(0), S_OK);
    set_batch_(0, 1, 1);
    EXPECT_EQ(Invoke(1), S_OK);
    set_batch_(1, 1, 1);
    EXPECT_EQ(Invoke(2, nullptr), S_OK);
    const std::string path = " [" + ToUtf8(file) + "]\n";
    EXPECT_EQ(Log(), "ProcessSelection(1234,1) state=-1,0,0 n=1" + path +
                         "ProcessSelection(1234,0) state=-1,0,0 n=1" + path +
                         "ShowFileInfo(0,-1) state=-1,0,0 n=1" + path);
}

TEST_F(HandlerTest, VerbTextsAndUnknownOffsetsAreRefusedAndRunNothing) {
    FakeDataObject &data = Fake({scratch_.MakeFile(L"a.txt")});
    Menu(&data);
    set_batch_(1, 1, 1);
    EXPECT_EQ(Invoke(reinterpret_cast<UINT_PTR>("encrypt")), E_INVALIDARG);
    EXPECT_EQ(Batch(), "-1,0,0"); // the reset comes first
    EXPECT_EQ(Invoke(3), E_INVALIDARG);
    EXPECT_EQ(Invoke(0xFFFF), E_INVALIDARG);
    EXPECT_EQ(Invoke(0x10000), E_INVALIDARG); // high half set
    EXPECT_EQ(menu_->InvokeCommand(nullptr), E_INVALIDARG);
    EXPECT_EQ(Log(), "");
}

TEST_F(HandlerTest, SelectionPathsArriveWholeInUtf8) {
    const std::wstring unicode = scratch_.MakeFile(L"\u00e4\u20ac \u65e5\u672c.txt");
    const std::wstring long_path = scratch_.Path() + L"\\" + std::wstring(300, L'n') + L".txt";
    FakeDataObject &data = Fake({unicode, long_path});
    Menu(&data);
    EXPECT_EQ(Invoke(0), S_OK);
    EXPECT_EQ(Log(), "ProcessSelection(1234,1) state=-1,0,0 n=2 [" + ToUtf8(unicode) + "] [" +
                         ToUtf8(long_path) + "]\n");
}

TEST_F(HandlerTest, TheLatestSelectionOfAnyInstanceIsKeptAndTheOldOneReleased) {
    FakeDataObject &first = Fake({scratch_.MakeFile(L"first.txt")});
    FakeDataObject &second = Fake({scratch_.MakeFile(L"second.txt")});
    ASSERT_EQ(init_->Initialize(nullptr, &first, nullptr), S_OK);
    EXPECT_EQ(first.References(), 2);

    IShellExtInit *other = Create();
    ASSERT_NE(other, nullptr);
    ASSERT_EQ(other->Initialize(nullptr, &second, nullptr), S_OK);
    other->Release();
    EXPECT_EQ(first.References(), 1);
    EXPECT_EQ(second.References(), 2); // kept beyond the instance that took it

    EXPECT_EQ(Invoke(2), S_OK);
    EXPECT_NE(Log().find("second.txt"), std::string::npos);
    ASSERT_EQ(init_->Initialize(nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(second.References(), 1);
}

// A second command while one runs (its window messages let the user reach another menu) is
// refused, and so is a new selection that would change what the running command reads.
struct Reentry {
    IContextMenu *menu;
    IShellExtInit *init;
    FakeDataObject *data;
    DoubleSetBatch set_batch;
    HRESULT invoke = S_OK;
    HRESULT initialize = S_OK;
};

void Reenter(void *context) {
    auto *reentry = static_cast<Reentry *>(context);
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof info;
    info.lpVerb = MAKEINTRESOURCEA(1);
    reentry->set_batch(1, 1, 1); // as the running command might have it
    reentry->invoke = reentry->menu->InvokeCommand(&info);
    reentry->initialize = reentry->init->Initialize(nullptr, reentry->data, nullptr);
}

TEST_F(HandlerTest, CommandWhileACommandRunsIsRefused) {
    FakeDataObject &data = Fake({scratch_.MakeFile(L"a.txt")});
    FakeDataObject &intruder = Fake({scratch_.MakeFile(L"b.txt")});
    Menu(&data);
    IShellExtInit *other = Create();
    ASSERT_NE(other, nullptr);
    IContextMenu *other_menu = nullptr;
    ASSERT_EQ(other->QueryInterface(IID_IContextMenu, reinterpret_cast<void **>(&other_menu)),
              S_OK);

    Reentry reentry{other_menu, other, &intruder, set_batch_};
    reset_(0, &Reenter, &reentry);
    EXPECT_EQ(Invoke(0), S_OK);
    EXPECT_EQ(reentry.invoke, HRESULT_FROM_WIN32(ERROR_BUSY));
    EXPECT_EQ(reentry.initialize, HRESULT_FROM_WIN32(ERROR_BUSY));
    EXPECT_EQ(intruder.References(), 1);
    EXPECT_EQ(Batch(), "1,1,1"); // the refused command reset nothing of the running one
    const std::string log = Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1);

    reset_(0, nullptr, nullptr);
    EXPECT_EQ(Invoke(1), S_OK); // the next command runs again
    EXPECT_NE(Log().find("a.txt"), std::string::npos);
    other_menu->Release();
    other->Release();
}

TEST_F(HandlerTest, ExceptionInACommandStaysInsideTheLibrary) {
    FakeDataObject &data = Fake({scratch_.MakeFile(L"a.txt")});
    Menu(&data);
    reset_(1, nullptr, nullptr);
    EXPECT_EQ(Invoke(0), E_UNEXPECTED);
    reset_(0, nullptr, nullptr);
    EXPECT_EQ(Invoke(2), S_OK);
    EXPECT_NE(Log().find("ShowFileInfo"), std::string::npos);
}

} // namespace
