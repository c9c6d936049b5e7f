// The resources of the built programs, read as data: the five page templates control by
// control, the icon group, the version block and the application manifest, in the shipped
// 32-bit build as well.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "MessageBoxObserver.h"
#include "TestFiles.h"

namespace {

std::string BuildFolder() {  // build\ of the tree the test program was built in
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    std::string folder(path, length);
    for (int i = 0; i < 3; ++i)
        folder = folder.substr(0, folder.rfind('\\'));
    return folder + "\\";
}

std::string Narrow(const WCHAR* wide) {
    char text[512] = "";
    WideCharToMultiByte(932, 0, wide, -1, text, sizeof text, NULL, NULL);
    return text;
}

// A name or ordinal field of a template: an ordinal becomes "#n".
const WORD* ReadNameOrOrdinal(const WORD* p, std::string* out) {
    if (*p == 0xFFFF) {
        *out = "#" + std::to_string(p[1]);
        return p + 2;
    }
    *out = Narrow(reinterpret_cast<const WCHAR*>(p));
    while (*p != 0)
        ++p;
    return p + 1;
}

struct Control {
    DWORD style;
    short x, y, cx, cy;
    int id;
    std::string cls, text;
};

struct Template {
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string caption, font;
    WORD points = 0;
    std::vector<Control> controls;
};

bool ReadTemplate(HMODULE module, const char* name, Template* out) {
    HRSRC found = FindResourceExA(module, RT_DIALOG, name, MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    if (found == NULL) return false;
    const DLGTEMPLATE* head = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(module, found)));
    out->style = head->style;
    out->x = head->x;
    out->y = head->y;
    out->cx = head->cx;
    out->cy = head->cy;
    const WORD* p = reinterpret_cast<const WORD*>(head + 1);
    std::string menu, cls;
    p = ReadNameOrOrdinal(p, &menu);
    p = ReadNameOrOrdinal(p, &cls);
    p = ReadNameOrOrdinal(p, &out->caption);
    if (head->style & DS_SETFONT) {
        out->points = *p++;
        p = ReadNameOrOrdinal(p, &out->font);
    }
    for (int i = 0; i < head->cdit; ++i) {
        p = reinterpret_cast<const WORD*>((reinterpret_cast<ULONG_PTR>(p) + 3) & ~static_cast<ULONG_PTR>(3));
        const DLGITEMTEMPLATE* item = reinterpret_cast<const DLGITEMTEMPLATE*>(p);
        Control control;
        control.style = item->style;
        control.x = item->x;
        control.y = item->y;
        control.cx = item->cx;
        control.cy = item->cy;
        control.id = static_cast<short>(item->id);
        p = reinterpret_cast<const WORD*>(item + 1);
        p = ReadNameOrOrdinal(p, &control.cls);
        p = ReadNameOrOrdinal(p, &control.text);
        p += 1 + *p / sizeof(WORD);
        out->controls.push_back(control);
    }
    return true;
}

// Class names as the templates give them: "#128" is the button class, "#129" edit, "#130" static.
const char* kButton = "#128";
const char* kEdit = "#129";
const char* kStatic = "#130";
const DWORD kPush = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
const DWORD kHeader = WS_CHILD | WS_VISIBLE | WS_DISABLED | ES_READONLY | ES_MULTILINE;
const DWORD kText = WS_CHILD | WS_VISIBLE | SS_LEFT;
const DWORD kCheck = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
const DWORD kGroup = WS_CHILD | WS_VISIBLE | BS_GROUPBOX;

struct ExpectedPage {
    const char* name;
    const char* caption;
    short cx, cy;
    std::vector<Control> controls;
};

std::vector<ExpectedPage> ExpectedPages() {
    return {
        {"IDD_HAZIME",
         "Korvantoセットアップ(1/4)",
         327,
         225,
         {{kPush, 200, 200, 65, 20, 1000, kButton, "次へ(&N)"},
          {kPush, 265, 200, 61, 20, 1001, kButton, "ｷｬﾝｾﾙ"},
          {kHeader, 0, 0, 326, 45, 1022, "RICHEDIT", ""},
          {kText, 15, 61, 190, 8, -1, kStatic, "インストールを継続する場合、「次へ」を押して下さい。"},
          {kText, 15, 71, 155, 10, -1, kStatic, "処理を中断する場合、「キャンセル」を押して下さい。"},
          {kText, 10, 175, 240, 10, -1, kStatic, "※アンインストールはインストール先のファイルを直接削除して下さい。"},
          {kText, 11, 185, 150, 10, -1, kStatic, "※レジストリへの書込は行っていません。"}}},
        {"IDD_FOLDER",
         "Korvantoセットアップ(2/4)",
         326,
         219,
         {{kHeader, 0, 0, 325, 45, 1022, "RICHEDIT", ""},
          {kText, 20, 65, 180, 9, -1, kStatic, "インストール先のフォルダを選択し、「次へ」を押して下さい。"},
          {kText, 20, 80, 255, 10, -1, kStatic,
           "バージョンアップの場合、前回インストールしたフォルダを選択して下さい。"},
          {kGroup, 10, 105, 290, 55, 1010, kButton, ""},
          {kText, 19, 129, 29, 9, -1, kStatic, "フォルダ"},
          {WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 51, 128, 210, 12, 1004, kEdit, ""},
          {kPush, 263, 127, 28, 13, 1023, kButton, "参照..."},
          {kPush, 145, 195, 65, 20, 1011, kButton, "戻る(&B)"},
          {kPush, 210, 195, 60, 20, 1000, kButton, "次へ(&N)"},
          {kPush, 270, 195, 54, 20, 1001, kButton, "ｷｬﾝｾﾙ"}}},
        {"IDD_SETUP",
         "Korvantoセットアップ(3/4)",
         325,
         219,
         {{kHeader, 0, 0, 325, 45, 1022, "RICHEDIT", ""},
          {kText, 25, 55, 188, 8, -1, kStatic, "各種設定を行います。"},
          {kGroup, 50, 70, 254, 48, -1, kButton, "設定"},
          {kCheck, 61, 82, 236, 15, 1007, kButton, "実行ファイル直下にデータを保存する。"},
          {kText, 73, 99, 225, 11, 1033, kStatic, "※デフォルトはApplicationDataフォルダもしくは前回設定場所です。"},
          {kGroup, 50, 125, 180, 50, -1, kButton, "ショートカット"},
          {kCheck, 61, 139, 110, 10, 1008, kButton, "デスクトップに作成する。"},
          {kCheck, 61, 155, 115, 10, 1009, kButton, "スタートメニューに作成する。"},
          {kPush, 150, 195, 60, 20, 1011, kButton, "戻る(&B)"},
          {kPush, 210, 195, 60, 20, 1000, kButton, "次へ(&N)"},
          {kPush, 270, 195, 55, 20, 1001, kButton, "ｷｬﾝｾﾙ"}}},
        {"IDD_SURE",
         "Korvantoセットアップ(4/4)",
         325,
         219,
         {{kPush, 210, 195, 60, 20, 1000, kButton, "インストール(&I)"},
          {kPush, 270, 195, 55, 20, 1001, kButton, "ｷｬﾝｾﾙ"},
          {kPush, 145, 195, 65, 20, 1011, kButton, "戻る(&B)"},
          {kHeader, 0, 0, 325, 45, 1022, "RICHEDIT", ""},
          {WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_READONLY | ES_MULTILINE | ES_AUTOVSCROLL |
               ES_AUTOHSCROLL,
           20, 55, 271, 83, 1029, kEdit, ""},
          {kText, 15, 145, 271, 10, -1, kStatic,
           "以上の設定でよろしければ「インストール」を押して下さい。　インストールが開始されます。"},
          {kText, 15, 155, 244, 10, -1, kStatic,
           "訂正する場合、「戻る」を押して訂正する箇所まで戻って訂正して下さい。"},
          {kText, 15, 175, 255, 12, -1, kStatic,
           "「インストール」にはしばらく時間がかかりますが完了するまでお待ち下さい。"}}},
        {"IDD_LAST",
         "Korvantoセットアップ(完了)",
         326,
         219,
         {{kPush, 255, 195, 70, 20, 1000, kButton, "完　了(&F)"},
          {kHeader, 0, 0, 325, 45, 1022, "RICHEDIT", ""},
          {kText, 10, 65, 120, 10, -1, kStatic, "お待たせいたしました。"},
          {kText, 10, 75, 229, 8, -1, kStatic, "インストールが完了しました。"}}},
    };
}

void ExpectTemplates(HMODULE module, const std::string& program) {
    const DWORD kPage = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    for (const ExpectedPage& page : ExpectedPages()) {
        SCOPED_TRACE(program + " " + page.name);
        Template found;
        ASSERT_TRUE(ReadTemplate(module, page.name, &found));
        EXPECT_EQ(kPage, found.style & kPage);
        EXPECT_EQ(0u, found.style & (WS_CHILD | WS_MAXIMIZEBOX | WS_THICKFRAME));
        EXPECT_EQ(0, found.x);
        EXPECT_EQ(0, found.y);
        EXPECT_EQ(page.cx, found.cx);
        EXPECT_EQ(page.cy, found.cy);
        EXPECT_EQ(page.caption, found.caption);
        EXPECT_EQ(9, found.points);
        EXPECT_EQ("ＭＳ Ｐゴシック", found.font);
        ASSERT_EQ(page.controls.size(), found.controls.size());
        for (size_t i = 0; i < page.controls.size(); ++i) {
            const Control& want = page.controls[i];
            const Control& got = found.controls[i];
            SCOPED_TRACE(ToUtf8(want.text) + " id " + std::to_string(want.id));
            EXPECT_EQ(want.id, got.id);
            EXPECT_EQ(want.cls, got.cls);
            EXPECT_EQ(want.text, got.text);
            EXPECT_EQ(want.x, got.x);
            EXPECT_EQ(want.y, got.y);
            EXPECT_EQ(want.cx, got.cx);
            EXPECT_EQ(want.cy, got.cy);
            EXPECT_EQ(want.style, got.style & want.style);
            if (want.cls == kButton) {
                EXPECT_EQ(want.style & BS_TYPEMASK, got.style & BS_TYPEMASK) << "never a default push button";
            }
        }
    }
}

void ExpectIconGroup(HMODULE module) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(102), RT_GROUP_ICON);
    ASSERT_TRUE(found != NULL);
    const BYTE* group = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    WORD count = *reinterpret_cast<const WORD*>(group + 4);
    std::vector<int> sizes;
    for (WORD i = 0; i < count; ++i)
        sizes.push_back(group[6 + 14 * i]);  // width of each entry; 0 would mean 256
    // What the system asks for at 100, 125, 150 and 200 %, small and large.
    EXPECT_EQ(std::vector<int>({16, 20, 24, 32, 40, 48, 64}), sizes);
}

void ExpectVersionBlock(const std::string& program) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(program.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(program.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = NULL;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00000001u, fixed->dwFileVersionLS);
    char* name = NULL;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\041104b0\\OriginalFilename",
                               reinterpret_cast<void**>(&name), &length));
    EXPECT_STREQ("kx_setup.exe", name);
}

// One entry of the compatibility list as Windows 10 and Wine fill it; the compiler's header still
// has the older layout without MaxVersionTested.
struct CompatibilityElement {
    GUID id;
    ACTCTX_COMPATIBILITY_ELEMENT_TYPE type;
    ULONGLONG maxVersionTested;
};
struct CompatibilityList {
    DWORD count;
    CompatibilityElement elements[8];
};

std::vector<std::string> SupportedSystems(HANDLE context) {
    CompatibilityList list;
    SIZE_T written = 0;
    if (!QueryActCtxW(0, context, NULL, CompatibilityInformationInActivationContext, &list, sizeof list, &written))
        return {"query failed"};
    EXPECT_EQ(offsetof(CompatibilityList, elements) + list.count * sizeof(CompatibilityElement), written);
    std::vector<std::string> ids;
    for (DWORD i = 0; i < list.count && i < 8; ++i) {
        WCHAR id[40];
        StringFromGUID2(list.elements[i].id, id, 40);
        ids.push_back(list.elements[i].type == ACTCTX_COMPATIBILITY_ELEMENT_TYPE_OS ? Narrow(id) : "not an OS");
    }
    return ids;
}

// A setting as the system reads it, asked of its own namespace; "absent" when the manifest does
// not give it, so that a rejected question does not pass for an absent answer.
std::string Setting(HANDLE context, const WCHAR* space, const WCHAR* name) {
    WCHAR value[64];
    SIZE_T written = 0;
    SetLastError(0);
    if (QueryActCtxSettingsW(0, context, space, name, value, 64, &written)) return Narrow(value);
    if (GetLastError() == ERROR_SXS_KEY_NOT_FOUND) return "absent";
    return "query failed, error " + std::to_string(GetLastError());
}

// The manifest as the system reads it when the program starts: an activation context made from
// the program's resource 1, which a malformed manifest would fail to give.
HANDLE ReadManifest(const std::string& program) {
    WCHAR path[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, program.c_str(), -1, path, MAX_PATH);
    ACTCTXW request;
    ZeroMemory(&request, sizeof request);
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path;
    request.lpResourceName = MAKEINTRESOURCEW(1);
    return CreateActCtxW(&request);
}

ACTCTX_REQUESTED_RUN_LEVEL RunLevel(HANDLE context) {
    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level = {};
    SIZE_T written = 0;
    EXPECT_TRUE(QueryActCtxW(0, context, NULL, RunlevelInformationInActivationContext, &level, sizeof level, &written));
    EXPECT_EQ(0u, level.UiAccess);
    return level.RunLevel;
}

// The program's own assembly counts as one; every dependency, such as version 6 of the common
// controls, adds one.
DWORD AssemblyCount(HANDLE context) {
    std::vector<BYTE> detail(4096);
    SIZE_T written = 0;
    EXPECT_TRUE(
        QueryActCtxW(0, context, NULL, ActivationContextDetailedInformation, detail.data(), detail.size(), &written));
    return reinterpret_cast<const ACTIVATION_CONTEXT_DETAILED_INFORMATION*>(detail.data())->ulAssemblyCount;
}

void ExpectManifest(const std::string& program) {
    HANDLE context = ReadManifest(program);
    ASSERT_NE(INVALID_HANDLE_VALUE, context) << "no manifest in " << program << ", error " << GetLastError();
    EXPECT_EQ(ACTCTX_RUN_LEVEL_REQUIRE_ADMIN, RunLevel(context));
    EXPECT_EQ(1u, AssemblyCount(context));
    // Aware of the system's DPI, not of each monitor's: see the README.
    EXPECT_EQ("true", Setting(context, L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware"));
    EXPECT_EQ("absent", Setting(context, L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness"));
    EXPECT_EQ(std::vector<std::string>({
                  "{35138B9A-5D96-4FBD-8E2D-A2440225F93A}",  // Windows 7
                  "{4A2F28E3-53B9-4441-BA9C-D69D4A4A6E38}",  // Windows 8
                  "{1F676C76-80E1-4239-95BB-83D0F6D0DA78}",  // Windows 8.1
                  "{8E0F7A12-BFB3-4FE8-B9A5-48FD50A15A9A}",  // Windows 10 and 11
              }),
              SupportedSystems(context));
    ReleaseActCtx(context);
}

void ExpectProgramResources(const std::string& program) {
    HMODULE module = LoadLibraryExA(program.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(module != NULL) << program;
    ExpectTemplates(module, program);
    ExpectIconGroup(module);
    FreeLibrary(module);
    ExpectVersionBlock(program);
    ExpectManifest(program);
}

// The file header's characteristics, as the loader reads them.
WORD ImageCharacteristics(const std::string& program) {
    IMAGE_FILE_HEADER header;
    return ReadImageFileHeader(program, &header) ? header.Characteristics : 0;
}

}  // namespace

TEST(ResourcesTest, TestedBuildCarriesTemplatesIconVersionAndManifest) {
    ExpectProgramResources(BuildFolder() + "win64\\kx_setup.exe");
}

// Windows binds a program's imports before any of its code runs, looking for every DLL that is not
// a known one beside the program first, and it does the same for the DLLs that an imported export
// is forwarded to: ADVAPI32, itself a known DLL, forwards SystemFunction036 to CRYPTBASE, which is
// not. So the program imports at its start only KERNEL32 and msvcrt, which forward nowhere else,
// and loads everything else itself once the search is kept to the system folder. (Under Wine no
// export is forwarded: only the import table can show this.)
TEST(ResourcesTest, BothBuildsImportOnlyKernel32AndMsvcrtAtTheirStart) {
    for (const char* build : {"win32", "win64"}) {
        std::string program = BuildFolder() + build + "\\kx_setup.exe";
        std::vector<std::string> dlls = ImportedDllNames(program);
        for (std::string& dll : dlls)
            CharLowerA(&dll[0]);
        std::sort(dlls.begin(), dlls.end());
        EXPECT_EQ(std::vector<std::string>({"kernel32.dll", "msvcrt.dll"}), dlls) << program;
    }
}

// Large address aware: the 32-bit program then converts address books twice as large (up to 4 GiB
// of address space on 64-bit Windows instead of 2).
TEST(ResourcesTest, ShippedBuildCarriesTemplatesIconVersionAndManifest) {
    ExpectProgramResources(BuildFolder() + "win32\\kx_setup.exe");
    EXPECT_TRUE(ImageCharacteristics(BuildFolder() + "win32\\kx_setup.exe") & IMAGE_FILE_LARGE_ADDRESS_AWARE);
}
