// The grid list as its owner hears it: the notifications that clicks and keys send, cells that
// exist or not, and the placement bits it draws by.
#include <gtest/gtest.h>

#include <vector>

#include "gui_driver.h"
#include "toolkit/win32/application.h"
#include "toolkit/win32/grid_list.h"

namespace orv {
namespace {

// What the list's owner heard through WM_COMMAND, as (row, code).
std::vector<std::pair<int, int>> heard;

LRESULT CALLBACK RecordingOwner(HWND h, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_COMMAND && lp) heard.emplace_back(LOWORD(wp), HIWORD(wp));
  return DefWindowProcW(h, m, wp, lp);
}

using test::Pump;

class GridListTest : public testing::Test {
 protected:
  void SetUp() override {
    static const bool registered = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = RecordingOwner;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"orvtestrecorder";
      return RegisterClassW(&wc) != 0;
    }();
    ASSERT_TRUE(registered);
    owner = CreateWindowExW(0, L"orvtestrecorder", L"recorder", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50,
                            500, 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_EQ(list.Create(owner, 103, 0, 0, 480, 200, 0x11, nullptr), 0);
    list.Show(SW_SHOW);
    for (int c = 0; c < 3; ++c) list.SetColumnWidth(c, 100);
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) list.SetCellText(r, c, "cell");
    heard.clear();
  }
  void TearDown() override {
    list.Destroy();
    DestroyWindow(owner);
  }
  // A press and release in the middle of a row, as the mouse sends them.
  void ClickRow(int row, WPARAM keys = 0) {
    const RECT r = list.RowRect(row);
    const LPARAM at = MAKELPARAM(150, (r.top + r.bottom) / 2);
    SendMessageW(list.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON | keys, at);
    SendMessageW(list.hwnd(), WM_LBUTTONUP, keys, at);
    Pump();
  }
  HWND owner = nullptr;
  GridList list;
};

TEST_F(GridListTest, ClicksSendSelectionChangesAndTheClick) {
  struct Step {
    const char* what;
    int row;  // 3: below the last row
    WPARAM keys;
    std::vector<std::pair<int, int>> expected;
  } steps[] = {
      {"first choice", 1, 0, {{1, 6}, {1, 3}}},
      {"same row again", 1, 0, {{1, 3}}},
      {"another row", 2, 0, {{1, 5}, {2, 6}, {2, 3}}},
      {"empty area removes the choice", 3, 0, {{2, 5}}},
      {"choice again", 0, 0, {{0, 6}, {0, 3}}},
      {"ctrl on the chosen row removes it", 0, MK_CONTROL, {{0, 5}}},
  };
  for (const Step& s : steps) {
    heard.clear();
    ClickRow(s.row, s.keys);
    EXPECT_EQ(heard, s.expected) << s.what;
  }
  EXPECT_EQ(list.selectedRow(), -1);
}

TEST_F(GridListTest, DoubleClickAndKeysChooseRowsButSetSelectionSendsNothing) {
  const RECT r = list.RowRect(2);
  SendMessageW(list.hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(250, (r.top + r.bottom) / 2));
  EXPECT_EQ(heard, (std::vector<std::pair<int, int>>{{2, 6}, {2, 4}}));
  EXPECT_EQ(list.selectedColumn(), 2);
  heard.clear();
  SendMessageW(list.hwnd(), WM_KEYDOWN, VK_UP, 0);
  SendMessageW(list.hwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(heard, (std::vector<std::pair<int, int>>{{2, 5}, {1, 6}, {1, 5}}));
  heard.clear();
  list.SetSelection(1, 0);
  list.SetSelection(-1, -1);
  Pump();
  EXPECT_TRUE(heard.empty());
}

TEST_F(GridListTest, CellsThatDoNotExistRefuseDataAndAttributes) {
  uint32_t data = 0;
  EXPECT_EQ(list.SetItemData(5, 0, 7), -1);
  EXPECT_EQ(list.GetItemData(0, 5, data), -1);
  EXPECT_EQ(list.SetCellAttributes(3, 0, 0, 0x41), -1);
  EXPECT_EQ(list.SetCellText(6, 4, "E:"), 0);  // a text creates the rows and cells up to it
  EXPECT_EQ(list.RowCount(), 7);
  EXPECT_EQ(list.SetItemData(6, 4, 0xDEADBEEF), 0);
  EXPECT_EQ(list.GetItemData(6, 4, data), 0);
  EXPECT_EQ(data, 0xDEADBEEFu);
  EXPECT_EQ(list.SetItemData(5, 4, 1), -1);  // row 5 exists, its fifth cell does not
  list.RemoveAllRows();
  EXPECT_EQ(list.GetItemData(0, 0, data), -1);
}

// Attribute b decides where the text sits; the drawn pixels show it.
TEST_F(GridListTest, PlacementBitsMoveTheText) {
  list.RemoveAllRows();
  list.SetColumnWidth(0, 400);
  struct {
    uint32_t b;
    int expected;  // -1 left third, 0 middle, 1 right third
  } cases[] = {{0x41, -1}, {0x81, 1}, {0x01, 0}, {0xC1, 0}};
  for (const auto& c : cases) {
    list.SetCellText(0, 0, "MMMM");
    list.SetCellAttributes(0, 0, 0, c.b);
    list.SetSelection(-1, -1);
    RedrawWindow(list.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    HDC dc = GetDC(list.hwnd());
    const RECT row = list.RowRect(0);
    int first = -1, last = -1;
    for (int x = 0; x < 400; ++x) {
      for (int y = row.top; y < row.bottom; ++y) {
        const COLORREF p = GetPixel(dc, x, y);
        if (GetRValue(p) < 0x80 && GetGValue(p) < 0x80) {
          if (first < 0) first = x;
          last = x;
          break;
        }
      }
    }
    ReleaseDC(list.hwnd(), dc);
    ASSERT_GE(first, 0) << std::hex << c.b;
    const int middle = (first + last) / 2;
    const int place = middle < 133 ? -1 : middle > 266 ? 1 : 0;
    EXPECT_EQ(place, c.expected) << std::hex << c.b << " text at " << first << "-" << last;
  }
}

TEST(Application, FiltersAreOfferedInOrderUntilOneAnswers) {
  Application app;
  std::vector<int> offered;
  struct Ctx {
    std::vector<int>* log;
    int id;
    int answer;
  };
  Ctx a{&offered, 1, 0}, b{&offered, 2, 2}, c{&offered, 3, 0};
  auto filter = [](MSG&, void* p) -> int {
    auto* ctx = static_cast<Ctx*>(p);
    ctx->log->push_back(ctx->id);
    return ctx->answer;
  };
  app.AddFilter(filter, &a);
  app.AddFilter(filter, &c);
  app.AddFilterFront(filter, &b);
  MSG msg{};
  EXPECT_TRUE(app.Filtered(msg));  // b consumes
  EXPECT_EQ(offered, (std::vector<int>{2}));
  app.RemoveFilter(filter, &b);
  offered.clear();
  EXPECT_FALSE(app.Filtered(msg));
  EXPECT_EQ(offered, (std::vector<int>{1, 3}));
  b.answer = 1;  // stops the offering but lets the message go on
  app.AddFilterFront(filter, &b);
  offered.clear();
  EXPECT_FALSE(app.Filtered(msg));
  EXPECT_EQ(offered, (std::vector<int>{2}));
}

}  // namespace
}  // namespace orv
