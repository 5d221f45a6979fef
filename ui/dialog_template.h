#pragma once
// Static description of a dialog window: what the resource script of a dialog holds.
// Positions are dialog units; the view maps them to pixels from its font.
#include <cstdint>
#include <span>
#include <string_view>

namespace tessvar {

enum class ControlKind : uint8_t {
  PushButton,
  DefaultPushButton,
  CheckBox,
  PushLikeCheckBox,  // a check box drawn as a push button
  RadioButton,
  GroupBox,
  Text,           // static text
  ClickableText,  // static text that reports clicks (a tab)
  Edit,           // single-line edit with a border
  DropDownList,   // drop-down list without free text
  Spin,           // up-down control attached to the edit before it
  IpAddress,      // four-octet IPv4 address control
  Icon,
};

namespace ctl {
// Style and initial-state flags of a control template.
inline constexpr uint32_t kDisabled = 1u << 0;
inline constexpr uint32_t kHidden = 1u << 1;
inline constexpr uint32_t kReadOnly = 1u << 2;
inline constexpr uint32_t kMultiline = 1u << 3;  // text wraps onto two lines
inline constexpr uint32_t kSorted = 1u << 4;     // list keeps its items sorted
inline constexpr uint32_t kGroupStart = 1u << 5; // first radio button of a group
inline constexpr uint32_t kCentered = 1u << 6;
inline constexpr uint32_t kChecked = 1u << 7;
inline constexpr uint32_t kEditable = 1u << 8;  // a drop-down list that also takes typed text
}  // namespace ctl

struct DialogRect {
  int x = 0, y = 0, width = 0, height = 0;
};

struct ControlTemplate {
  int id;  // -1 for the unnamed static controls of a template
  ControlKind kind;
  std::string_view text;  // UTF-8
  DialogRect rect;
  uint32_t flags = 0;
};

namespace dlg {
inline constexpr uint32_t kSystemMenu = 1u << 0;
inline constexpr uint32_t kMinimizeBox = 1u << 1;
inline constexpr uint32_t kNoTitle = 1u << 2;  // a page without title bar
inline constexpr uint32_t kModeless = 1u << 3;
}  // namespace dlg

struct DialogTemplate {
  int id;
  std::string_view caption;
  int width;
  int height;
  std::string_view fontName;
  int fontPoints;
  uint32_t flags;
  std::span<const ControlTemplate> controls;
};

}  // namespace tessvar
