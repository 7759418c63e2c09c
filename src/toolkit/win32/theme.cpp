#include "toolkit/win32/theme.h"

#include <string>

namespace orv::theme {

namespace {

int CALLBACK NoteFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool FaceExists(const wchar_t* face) {
  HDC dc = GetDC(nullptr);
  LOGFONTW query{};
  query.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(query.lfFaceName, face, LF_FACESIZE);
  bool found = false;
  EnumFontFamiliesExW(dc, &query, NoteFace, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, dc);
  return found;
}

HFONT MakeFont(std::initializer_list<const wchar_t*> faces, int pitch, int weight) {
  const wchar_t* chosen = nullptr;
  for (const wchar_t* face : faces) {
    if (FaceExists(face)) {
      chosen = face;
      break;
    }
  }
  if (!chosen) return nullptr;
  // 12 pixels: the size Japanese bitmap-quality faces were drawn for at 96 dpi.
  return CreateFontW(-12, 0, 0, 0, weight, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, pitch | FF_DONTCARE,
                     chosen);
}

}  // namespace

HFONT UiFont() {
  static HFONT font = [] {
    HFONT f = MakeFont({L"MS UI Gothic", L"Meiryo UI", L"IPAPGothic", L"IPAGothic"}, VARIABLE_PITCH,
                       FW_NORMAL);
    return f ? f : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  }();
  return font;
}

HFONT FixedFont() {
  static HFONT font = [] {
    HFONT f = MakeFont({L"MS Gothic", L"IPAGothic"}, FIXED_PITCH, FW_NORMAL);
    return f ? f : static_cast<HFONT>(GetStockObject(OEM_FIXED_FONT));
  }();
  return font;
}

HFONT BoldFont() {
  static HFONT font = [] {
    HFONT f = MakeFont({L"MS UI Gothic", L"Meiryo UI", L"IPAPGothic", L"IPAGothic"}, VARIABLE_PITCH,
                       FW_BOLD);
    return f ? f : UiFont();
  }();
  return font;
}

SIZE FontCharSize(HDC dc, HFONT font) {
  HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  return SIZE{tm.tmAveCharWidth, tm.tmHeight};
}

SIZE FontCharSize(HFONT font) {
  HDC dc = GetDC(nullptr);
  const SIZE size = FontCharSize(dc, font);
  ReleaseDC(nullptr, dc);
  return size;
}

void Fill(HDC dc, const RECT& rect, COLORREF colour) {
  SetBkColor(dc, colour);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

void Frame(HDC dc, const RECT& rect, COLORREF colour) {
  RECT edge{rect.left, rect.top, rect.right, rect.top + 1};
  Fill(dc, edge, colour);
  edge = {rect.left, rect.bottom - 1, rect.right, rect.bottom};
  Fill(dc, edge, colour);
  edge = {rect.left, rect.top, rect.left + 1, rect.bottom};
  Fill(dc, edge, colour);
  edge = {rect.right - 1, rect.top, rect.right, rect.bottom};
  Fill(dc, edge, colour);
}

}  // namespace orv::theme
