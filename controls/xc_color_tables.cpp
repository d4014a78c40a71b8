#include "controls/xc_color_tables.h"

namespace {

// The library's string resources of the descriptions, in the order of the tables' rows.
const char* const kStandardColorTexts[kStandardColorCount] = {
    "Black",
    "Maroon",
    "Green",
    "Olive green",
    "Navy blue",
    "Purple",
    "Teal",
    "Gray",
    "Silver",
    "Red",
    "Lime",
    "Yellow",
    "Blue",
    "Fuchsia",
    "Aqua",
    "White",
    "Money green",
    "Sky blue",
    "Cream",
    "Medium gray",
};
const char* const kOfficeColorTexts[kOfficeColorCount] = {
    "Black",
    "Brown",
    "Olive Green",
    "Dark Green",
    "Dark Teal",
    "Dark Blue",
    "Indigo",
    "Gray 80%",
    "Dark Red",
    "Orange",
    "Dark Yellow",
    "Green",
    "Teal",
    "Blue",
    "Blue Gray",
    "Gray 50%",
    "Red",
    "Light Orange",
    "Lime",
    "Sea Green",
    "Aqua",
    "Light Blue",
    "Violet",
    "Gray 40%",
    "Pink",
    "Gold",
    "Yellow",
    "Bright Green",
    "Turquoise",
    "Sky blue",
    "Plum",
    "Gray 25%",
    "Rose",
    "Tan",
    "Light Yellow",
    "Light Green",
    "Light Turquoise",
    "Pale Blue",
    "Lavender",
    "White",
};
const char* const kSystemColorTexts[kSystemColorCount] = {
    "Scrollbar",
    "Desktop background",
    "Active window title bar",
    "Inactive window title bar",
    "Menu background",
    "Window background",
    "Window frame",
    "Menu text",
    "Window text",
    "Active window title bar text",
    "Active window border",
    "Inactive window border",
    "Application workspace",
    "Selection background",
    "Selection text",
    "Button face",
    "Button shadow",
    "Dimmed text",
    "Button text",
    "Inactive window title bar text",
    "Button highlight",
    "Dark shadow 3D elements",
    "Highlight 3D elements",
    "Tooltip text",
    "Tooltip background",
    "Gradient Active Caption",
    "Gradient Inactive Caption",
    "Hot Light",
    "Menu Bar",
    "Menu Highlight",
};

TDefColorItem g_standard[kStandardColorCount] = {
    {TColorOf(0x00000000), "clBlack", {}},
    {TColorOf(0x00000080), "clMaroon", {}},
    {TColorOf(0x00008000), "clGreen", {}},
    {TColorOf(0x00008080), "clOlive", {}},
    {TColorOf(0x00800000), "clNavy", {}},
    {TColorOf(0x00800080), "clPurple", {}},
    {TColorOf(0x00808000), "clTeal", {}},
    {TColorOf(0x00808080), "clGray", {}},
    {TColorOf(0x00C0C0C0), "clSilver", {}},
    {TColorOf(0x000000FF), "clRed", {}},
    {TColorOf(0x0000FF00), "clLime", {}},
    {TColorOf(0x0000FFFF), "clYellow", {}},
    {TColorOf(0x00FF0000), "clBlue", {}},
    {TColorOf(0x00FF00FF), "clFuchsia", {}},
    {TColorOf(0x00FFFF00), "clAqua", {}},
    {TColorOf(0x00FFFFFF), "clWhite", {}},
    {TColorOf(0x00C0DCC0), "clMoneyGreen", {}},
    {TColorOf(0x00F0CAA6), "clSkyBlue", {}},
    {TColorOf(0x00F0FBFF), "clCream", {}},
    {TColorOf(0x00A4A0A0), "clMedGray", {}},
};
TDefColorItem g_office[kOfficeColorCount] = {
    {TColorOf(0x00000000), "clBlack", {}},
    {TColorOf(0x00003399), "clBrown", {}},
    {TColorOf(0x00003333), "clOliveGreen", {}},
    {TColorOf(0x00003300), "clDarkGreen", {}},
    {TColorOf(0x00663300), "clDarkTeal", {}},
    {TColorOf(0x00800000), "clDarkBlue", {}},
    {TColorOf(0x00993333), "clIndigo", {}},
    {TColorOf(0x00333333), "clGray80", {}},
    {TColorOf(0x00000080), "clDarkRed", {}},
    {TColorOf(0x000066FF), "clOrange", {}},
    {TColorOf(0x00008080), "clDarkYellow", {}},
    {TColorOf(0x00008000), "clGreen", {}},
    {TColorOf(0x00808000), "clTeal", {}},
    {TColorOf(0x00FF0000), "clBlue", {}},
    {TColorOf(0x00996666), "clBlueGray", {}},
    {TColorOf(0x00808080), "clGray50", {}},
    {TColorOf(0x000000FF), "clRed", {}},
    {TColorOf(0x000099FF), "clLightOrange", {}},
    {TColorOf(0x0000CC99), "clLime", {}},
    {TColorOf(0x00669933), "clSeaGreen", {}},
    {TColorOf(0x00999933), "clAqua", {}},
    {TColorOf(0x00FF6633), "clLightBlue", {}},
    {TColorOf(0x00800080), "clViolet", {}},
    {TColorOf(0x00999999), "clGray40", {}},
    {TColorOf(0x00FF00FF), "clPink", {}},
    {TColorOf(0x0000CCFF), "clGold", {}},
    {TColorOf(0x0000FFFF), "clYellow", {}},
    {TColorOf(0x0000FF00), "clBrightGreen", {}},
    {TColorOf(0x00FFFF00), "clTurquoise", {}},
    {TColorOf(0x00F0CAA6), "clSkyBlue", {}},
    {TColorOf(0x00663399), "clPlum", {}},
    {TColorOf(0x00C0C0C0), "clGray25", {}},
    {TColorOf(0x00CC99FF), "clRose", {}},
    {TColorOf(0x0099CCFF), "clTan", {}},
    {TColorOf(0x0099FFFF), "clLightYellow", {}},
    {TColorOf(0x00CCFFCC), "clLightGreen", {}},
    {TColorOf(0x00FFFFCC), "clLightTurquoise", {}},
    {TColorOf(0x00FFCC99), "clPaleBlue", {}},
    {TColorOf(0x00FF99CC), "clLavender", {}},
    {TColorOf(0x00FFFFFF), "clWhite", {}},
};
TDefColorItem g_system[kSystemColorCount] = {
    {TColorOf(0xFF000000), "clScrollBar", {}},
    {TColorOf(0xFF000001), "clBackground", {}},
    {TColorOf(0xFF000002), "clActiveCaption", {}},
    {TColorOf(0xFF000003), "clInactiveCaption", {}},
    {TColorOf(0xFF000004), "clMenu", {}},
    {TColorOf(0xFF000005), "clWindow", {}},
    {TColorOf(0xFF000006), "clWindowFrame", {}},
    {TColorOf(0xFF000007), "clMenuText", {}},
    {TColorOf(0xFF000008), "clWindowText", {}},
    {TColorOf(0xFF000009), "clCaptionText", {}},
    {TColorOf(0xFF00000A), "clActiveBorder", {}},
    {TColorOf(0xFF00000B), "clInactiveBorder", {}},
    {TColorOf(0xFF00000C), "clAppWorkSpace", {}},
    {TColorOf(0xFF00000D), "clHighlight", {}},
    {TColorOf(0xFF00000E), "clHighlightText", {}},
    {TColorOf(0xFF00000F), "clBtnFace", {}},
    {TColorOf(0xFF000010), "clBtnShadow", {}},
    {TColorOf(0xFF000011), "clGrayText", {}},
    {TColorOf(0xFF000012), "clBtnText", {}},
    {TColorOf(0xFF000013), "clInactiveCaptionText", {}},
    {TColorOf(0xFF000014), "clBtnHighlight", {}},
    {TColorOf(0xFF000015), "cl3DDkShadow", {}},
    {TColorOf(0xFF000016), "cl3DLight", {}},
    {TColorOf(0xFF000017), "clInfoText", {}},
    {TColorOf(0xFF000018), "clInfoBk", {}},
    {TColorOf(0xFF00001B), "clGradientActiveCaption", {}},
    {TColorOf(0xFF00001C), "clGradientInactiveCaption", {}},
    {TColorOf(0xFF00001A), "clHotLight", {}},
    {TColorOf(0xFF00001E), "clMenuBar", {}},
    {TColorOf(0xFF00001D), "clMenuHighlight", {}},
};

template <size_t N>
void Bind(TDefColorItem (&table)[N], const char* const (&texts)[N]) {
  for (size_t i = 0; i < N; ++i) table[i].Description = texts[i];
}

template <size_t N>
void Release(TDefColorItem (&table)[N]) {
  for (TDefColorItem& item : table) item.Description = std::string();
}

}  // namespace

const TDefColorItem* StandardColorValues() { return g_standard; }
const TDefColorItem* OfficeColorValues() { return g_office; }
const TDefColorItem* SystemColorValues() { return g_system; }

void BindColorDescriptions() {
  Bind(g_standard, kStandardColorTexts);
  Bind(g_office, kOfficeColorTexts);
  Bind(g_system, kSystemColorTexts);
}

void ReleaseColorDescriptions() {
  Release(g_standard);
  Release(g_office);
  Release(g_system);
}
