#include "window/win32/win32_controls.h"

#include <algorithm>

#include "window/file_filter.h"

namespace win32 {

namespace {

bool Has(uint32_t style, uint32_t bit) { return (style & bit) != 0; }

uint32_t Alignment(uint32_t style, uint32_t left, uint32_t center, uint32_t right) {
  if (Has(style, kCentered)) return center;
  if (Has(style, kRightAligned)) return right;
  return left;
}

// MulDiv's rounding: the nearest integer, halves away from zero.
int MulDivRounded(int value, int numerator, int denominator) {
  const long long product = static_cast<long long>(value) * numerator;
  const long long half = denominator / 2;
  return static_cast<int>(product >= 0 ? (product + half) / denominator
                                       : -((-product + half) / denominator));
}

constexpr char32_t kReplacement = 0xFFFD;

// One code point from text at i (advancing i); malformed sequences give U+FFFD for their first
// byte.
char32_t DecodeUtf8(const std::string& text, size_t& i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  int length = 0;
  char32_t cp = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    ++i;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, cp = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, cp = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, cp = lead & 0x07, minimum = 0x10000;
  } else {
    ++i;
    return kReplacement;
  }
  if (i + static_cast<size_t>(length) > text.size()) {
    ++i;
    return kReplacement;
  }
  for (int k = 1; k < length; ++k) {
    const unsigned char next = byte(i + static_cast<size_t>(k));
    if ((next & 0xC0) != 0x80) {
      ++i;
      return kReplacement;
    }
    cp = (cp << 6) | (next & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return kReplacement;
  }
  i += static_cast<size_t>(length);
  return cp;
}

void EncodeUtf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

ControlClass ClassOf(const ControlTemplate& c) {
  uint32_t common = kWsChild;
  if (!Has(c.style, kHidden)) common |= kWsVisible;
  // Every control that takes the focus is a group of its own: the arrow keys never move the
  // focus between controls, only Tab does.
  if (Has(c.style, kTabStop)) common |= kWsTabStop | kWsGroup;
  switch (c.kind) {
    case ControlKind::PushButton:
      return {"BUTTON", common | kBsPushButton | kBsNotify, 0};
    case ControlKind::DefPushButton:
      return {"BUTTON", common | kBsDefPushButton | kBsNotify, 0};
    case ControlKind::GroupBox:
      return {"BUTTON", common | kBsGroupBox, 0};
    case ControlKind::Edit: {
      uint32_t style = common | Alignment(c.style, kEsLeft, kEsCenter, kEsRight);
      if (Has(c.style, kReadOnly)) style |= kEsReadOnly;
      style |=
          Has(c.style, kMultiLine) ? kEsMultiLine | kEsAutoVScroll | kWsVScroll : kEsAutoHScroll;
      return {"EDIT", style, kWsExClientEdge};
    }
    case ControlKind::Label:
      return {"STATIC", common | Alignment(c.style, kSsLeft, kSsCenter, kSsRight) | kSsNoPrefix,
              kWsExNoParentNotify};
    case ControlKind::DropList:
      return {"COMBOBOX", common | kCbsDropDownList | kCbsHasStrings | kWsVScroll, 0};
    case ControlKind::DropDown:
      return {"COMBOBOX", common | kCbsDropDown | kCbsAutoHScroll | kCbsHasStrings | kWsVScroll, 0};
    case ControlKind::Icon:
      return {"STATIC", common | kSsIcon, kWsExNoParentNotify};
    case ControlKind::CheckBox:
      return {"BUTTON", common | kBsAutoCheckBox | kBsNotify, 0};
    case ControlKind::Progress:
      return {"msctls_progress32", common, 0};
    case ControlKind::Table:
      return {"SysListView32",
              common | kLvsReport | kLvsSingleSel | kLvsShowSelAlways | kLvsNoSortHeader,
              kWsExClientEdge};
  }
  return {"STATIC", common, 0};
}

BaseUnits BaseUnitsOf(int widthOf52Letters, int lineHeight) {
  return {(widthOf52Letters / 26 + 1) / 2, lineHeight};
}

BaseUnits DefaultBaseUnits(int dpi) {
  return {MulDivRounded(6, dpi, 96), MulDivRounded(13, dpi, 96)};
}

int DluToPixelsX(int dlu, BaseUnits units) { return MulDivRounded(dlu, units.cx, 4); }

int DluToPixelsY(int dlu, BaseUnits units) { return MulDivRounded(dlu, units.cy, 8); }

// As the dialog manager creates a template's controls: position and size converted apart.
PixelRect ToPixels(const ControlTemplate& c, BaseUnits units) {
  return {DluToPixelsX(c.x, units), DluToPixelsY(c.y, units), DluToPixelsX(c.cx, units),
          DluToPixelsY(c.cy, units)};
}

PixelRect PlaceLabel(PixelRect cell, uint32_t style, int lineHeight, int textWidth) {
  if (lineHeight > cell.cy) {
    cell.y -= (lineHeight - cell.cy) / 2;
    cell.cy = lineHeight;
  }
  if (textWidth > cell.cx) {
    if (Has(style, kRightAligned)) cell.x -= textWidth - cell.cx;
    if (Has(style, kCentered)) cell.x -= (textWidth - cell.cx) / 2;
    cell.cx = textWidth;
  }
  return cell;
}

int ListFieldHeight(BaseUnits units, int lineHeight) {
  constexpr int kFrame = 6;  // the field's border and the selection's margin, top and bottom
  return std::max(DluToPixelsY(12, units), lineHeight + kFrame);
}

int ListCreateHeight(int fieldHeight, int itemHeight, size_t entryCount) {
  const int shown = static_cast<int>(std::min<size_t>(entryCount, kListVisibleEntries));
  return fieldHeight + std::max(shown, 1) * itemHeight + 2;
}

std::optional<Notification> NotificationOf(ControlKind kind, uint16_t code) {
  switch (kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton:
    case ControlKind::CheckBox:
      if (code == kBnClicked) return Notification::Clicked;
      if (code == kBnSetFocus) return Notification::SetFocus;
      if (code == kBnKillFocus) return Notification::KillFocus;
      return std::nullopt;
    case ControlKind::Edit:
      if (code == kEnSetFocus) return Notification::SetFocus;
      if (code == kEnKillFocus) return Notification::KillFocus;
      return std::nullopt;
    case ControlKind::DropList:
    case ControlKind::DropDown:
      if (code == kCbnSetFocus) return Notification::SetFocus;
      if (code == kCbnKillFocus) return Notification::KillFocus;
      if (code == kCbnDropDown) return Notification::DropDown;
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

int InitialFocus(const DialogTemplate& dialog) {
  for (const ControlTemplate& c : dialog.controls) {
    if (c.id != IDC_STATIC && (c.style & (kHidden | kTabStop)) == kTabStop) return c.id;
  }
  return 0;
}

std::u16string FileChooserFilter(const std::string& filter) {
  std::string patterns;
  for (const std::string& pattern : FilterPatterns(filter)) {
    patterns += (patterns.empty() ? "" : ";") + pattern;
  }
  std::u16string out = Utf8ToUtf16(filter);
  out += u'\0';
  out += Utf8ToUtf16(patterns);
  out += u'\0';
  out += u'\0';
  return out;
}

std::u16string Utf8ToUtf16(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const char32_t cp = DecodeUtf8(text, i);
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string Utf16ToUtf8(const std::u16string& text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    EncodeUtf8(cp, out);
  }
  return out;
}

std::string ToCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

std::string FromCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

std::string ChooseCjkFace(const std::vector<std::string>& gb2312Families) {
  for (const std::string& face : gb2312Families) {
    if (face == "Microsoft YaHei UI") return face;
  }
  for (const std::string& face : gb2312Families) {
    if (!face.empty() && face[0] != '@') return face;
  }
  return {};
}

std::string ApplicationTitle(const std::string& modulePath) {
  const size_t slash = modulePath.find_last_of("\\/");
  std::string name = slash == std::string::npos ? modulePath : modulePath.substr(slash + 1);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

}  // namespace win32
