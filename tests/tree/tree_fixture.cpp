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
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_WRITE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, "ROOTLIST");
  RegDeleteValueA(key, "ROOTSELECT");
  RegCloseKey(key);
}

void RootListGuard::Write(const std::string& multi, const char* selected) {
  Delete();
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, "ROOTLIST", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(multi.data()),
                 static_cast<DWORD>(multi.size()));
  if (selected)
    RegSetValueExA(key, "ROOTSELECT", 0, REG_SZ, reinterpret_cast<const BYTE*>(selected),
                   static_cast<DWORD>(strlen(selected) + 1));
  RegCloseKey(key);
}

RootListGuard::RootListGuard() {
  list_.present = Read("ROOTLIST", &list_.bytes, &list_.type);
  select_.present = Read("ROOTSELECT", &select_.bytes, &select_.type);
}

RootListGuard::~RootListGuard() {
  Delete();
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return;
  for (auto [name, saved] : {std::make_pair("ROOTLIST", &list_), std::make_pair("ROOTSELECT", &select_)})
    if (saved->present)
      RegSetValueExA(key, name, 0, saved->type, reinterpret_cast<const BYTE*>(saved->bytes.data()),
                     static_cast<DWORD>(saved->bytes.size()));
  RegCloseKey(key);
}

HWND TreePanelTest::host_ = nullptr;

// One host window for all tests: under Wine without a window manager, hiding
// or destroying a shown top-level window waits two seconds.
void TreePanelTest::SetUpTestSuite() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "TreeTestHost";
  RegisterClassA(&wc);
  host_ = CreateWindowExA(0, "TreeTestHost", "tree test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                          640, 700, nullptr, nullptr, wc.hInstance, nullptr);
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

std::string ItemText(HWND tree, HTREEITEM item) {
  char text[1024] = "";
  TVITEMA tv{};
  tv.mask = TVIF_TEXT;
  tv.hItem = item;
  tv.pszText = text;
  tv.cchTextMax = sizeof text;
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
  return text;
}

std::vector<std::string> ChildTexts(HWND tree, HTREEITEM item) {
  std::vector<std::string> texts;
  for (HTREEITEM c = TreeView_GetChild(tree, item); c; c = TreeView_GetNextSibling(tree, c))
    texts.push_back(ItemText(tree, c));
  return texts;
}

HTREEITEM FindItem(HWND tree, const std::vector<std::string>& path) {
  HTREEITEM item = TreeView_GetRoot(tree);
  for (const std::string& name : path) {
    TreeView_Expand(tree, item, TVE_EXPAND);
    HTREEITEM c = TreeView_GetChild(tree, item);
    while (c && ItemText(tree, c) != name) c = TreeView_GetNextSibling(tree, c);
    if (!c) return nullptr;
    item = c;
  }
  return item;
}

void ClickItem(HWND tree, HTREEITEM item, bool right) {
  TreeView_EnsureVisible(tree, item);
  RECT r{};
  std::memcpy(&r, &item, sizeof item);  // the item goes in, its rectangle comes out
  ASSERT_TRUE(SendMessageA(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r)));
  POINT at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  POINT screen = at;
  ClientToScreen(tree, &screen);
  SetCursorPos(screen.x, screen.y);
  const LPARAM lp = MAKELPARAM(at.x, at.y);
  PostMessageA(tree, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON, lp);
  PostMessageA(tree, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, lp);
  Pump(100);
}

std::string MultiString(const std::vector<std::string>& texts) {
  std::string s;
  for (const std::string& t : texts) s.append(t).push_back('\0');
  s.push_back('\0');
  return s;
}

std::string TreePanelTest::Text(HTREEITEM item) { return ItemText(tree(), item); }

bool TreePanelTest::HasButton(HTREEITEM item) {
  TVITEMA tv{};
  tv.mask = TVIF_CHILDREN;
  tv.hItem = item;
  SendMessageA(tree(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
  return tv.cChildren != 0;
}

std::vector<std::string> TreePanelTest::Children(HTREEITEM item) { return ChildTexts(tree(), item); }
HTREEITEM TreePanelTest::Find(const std::vector<std::string>& path) { return FindItem(tree(), path); }
void TreePanelTest::Expand(HTREEITEM item) { TreeView_Expand(tree(), item, TVE_EXPAND); }
void TreePanelTest::Click(HTREEITEM item, bool right) { ClickItem(tree(), item, right); }

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
