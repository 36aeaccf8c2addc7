#include "tests/tree/tree_fixture.h"

#include <cstring>

namespace tree_test {

std::vector<Opened> g_opened;

namespace {
constexpr char kKey[] = "Software\\VELMORA\\Orvanel";

void Record(const char* folder, const char* date, const char* camera) {
  g_opened.push_back({folder, date, camera});
}
}  // namespace

bool RootListGuard::Read(const char* name, std::string* bytes, DWORD* type) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD size = 0, t = 0;
  bool ok = RegQueryValueExA(key, name, nullptr, &t, nullptr, &size) == ERROR_SUCCESS;
  if (ok) {
    bytes->assign(size, '\0');
    ok = RegQueryValueExA(key, name, nullptr, &t, reinterpret_cast<BYTE*>(&(*bytes)[0]), &size) ==
         ERROR_SUCCESS;
    bytes->resize(size);
    if (type) *type = t;
  }
  RegCloseKey(key);
  return ok;
}

void RootListGuard::Delete() {
  for (const char* name : {"ROOTLIST", "ROOTSELECT"})
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kKey, name);
}

void RootListGuard::Write(const std::string& multi, const char* selected) {
  Delete();
  RegSetKeyValueA(HKEY_CURRENT_USER, kKey, "ROOTLIST", REG_MULTI_SZ, multi.data(),
                  static_cast<DWORD>(multi.size()));
  if (selected)
    RegSetKeyValueA(HKEY_CURRENT_USER, kKey, "ROOTSELECT", REG_SZ, selected,
                    static_cast<DWORD>(std::strlen(selected) + 1));
}

RootListGuard::RootListGuard() {
  list_.present = Read("ROOTLIST", &list_.bytes, &list_.type);
  select_.present = Read("ROOTSELECT", &select_.bytes, &select_.type);
}

RootListGuard::~RootListGuard() {
  Delete();
  for (auto [name, saved] : {std::make_pair("ROOTLIST", &list_), std::make_pair("ROOTSELECT", &select_)})
    if (saved->present)
      RegSetKeyValueA(HKEY_CURRENT_USER, kKey, name, saved->type, saved->bytes.data(),
                      static_cast<DWORD>(saved->bytes.size()));
}

HWND TreePanelTest::host_ = nullptr;

// One host window for all tests: under Wine without a window manager, hiding
// or destroying a shown top-level window waits two seconds.
void TreePanelTest::SetUpTestSuite() {
  host_ = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                          0, 640, 700, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

void TreePanelTest::TearDownTestSuite() {
  DestroyWindow(host_);
  host_ = nullptr;
}

void TreePanelTest::SetUp() {
  RootListGuard::Delete();
  g_opened.clear();
  ASSERT_NE(host_, nullptr);
  ASSERT_EQ(panel_.Create(GetModuleHandleA(nullptr), host_, 600), 1);
  panel_.SetMinuteOpener(Record);
  Pump();
}

void TreePanelTest::TearDown() {
  if (panel_.window()) DestroyWindow(panel_.window());
  EXPECT_EQ(panel_.window(), nullptr);
  EXPECT_EQ(FolderTree::LiveRecords(), 0) << "a FolderItem outlived its item";
}

std::string MultiString(const std::vector<std::string>& texts) {
  std::string s;
  for (const std::string& t : texts) s.append(t).push_back('\0');
  s.push_back('\0');
  return s;
}

std::string TreePanelTest::Text(HTREEITEM item) {
  char text[1024] = "";
  TVITEMA tv{};
  tv.mask = TVIF_TEXT;
  tv.hItem = item;
  tv.pszText = text;
  tv.cchTextMax = sizeof text;
  SendMessageA(tree(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
  return text;
}

std::vector<std::string> TreePanelTest::Children(HTREEITEM item) {
  std::vector<std::string> texts;
  for (HTREEITEM c = TreeView_GetChild(tree(), item); c; c = TreeView_GetNextSibling(tree(), c))
    texts.push_back(Text(c));
  return texts;
}

HTREEITEM TreePanelTest::Find(const std::vector<std::string>& path) {
  HTREEITEM item = TreeView_GetRoot(tree());
  for (const std::string& name : path) {
    Expand(item);
    HTREEITEM c = TreeView_GetChild(tree(), item);
    while (c && Text(c) != name) c = TreeView_GetNextSibling(tree(), c);
    if (!c) return nullptr;
    item = c;
  }
  return item;
}

bool TreePanelTest::HasButton(HTREEITEM item) {
  TVITEMA tv{};
  tv.mask = TVIF_CHILDREN;
  tv.hItem = item;
  SendMessageA(tree(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
  return tv.cChildren != 0;
}

void TreePanelTest::Expand(HTREEITEM item) { TreeView_Expand(tree(), item, TVE_EXPAND); }

POINT TreePanelTest::Centre(HTREEITEM item) {
  TreeView_EnsureVisible(tree(), item);
  RECT r{};
  std::memcpy(&r, &item, sizeof item);  // the item goes in, its rectangle comes out
  EXPECT_TRUE(SendMessageA(tree(), TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r)));
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void TreePanelTest::Click(HTREEITEM item, bool right) {
  const POINT at = Centre(item);
  POINT screen = at;
  ClientToScreen(tree(), &screen);
  SetCursorPos(screen.x, screen.y);
  const LPARAM lp = MAKELPARAM(at.x, at.y);
  PostMessageA(tree(), right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON, lp);
  PostMessageA(tree(), right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, lp);
  Pump(100);
}

std::vector<std::string> TreePanelTest::SelectorTexts() {
  std::vector<std::string> texts;
  const int n = static_cast<int>(SendMessageA(panel_.rootSelector(), CB_GETCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    char text[300] = "";
    COMBOBOXEXITEMA item{};
    item.mask = CBEIF_TEXT;
    item.iItem = i;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(panel_.rootSelector(), CBEM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    texts.push_back(text);
  }
  return texts;
}

int TreePanelTest::SelectorSelection() {
  return static_cast<int>(SendMessageA(panel_.rootSelector(), CB_GETCURSEL, 0, 0));
}

}  // namespace tree_test
