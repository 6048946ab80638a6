#include "dialogtemplates.h"

#include "resource.h"

using namespace Res;

const DialogTemplate &MainDialogTemplate()
{
    static const DialogTemplate tpl{
        IDD_DIMRA_DIALOG, "PWM调光器 v1.0 ", 9, 263, 147, true,
        {
            {IDC_STATIC, ItemKind::CentredLabel, "通道1", 8, 73, 24, 8, false, "labelChannel1"},
            {IDC_STATIC, ItemKind::CentredLabel, "通道2", 8, 97, 24, 8, false, "labelChannel2"},
            {IDC_STATIC, ItemKind::CentredLabel, "通道3", 8, 121, 24, 8, false, "labelChannel3"},
            {IDC_STATIC, ItemKind::CentredLabel, "端口选择：", 9, 14, 37, 8, false, "labelPort"},
            {IDC_SLIDER_CHANNEL1, ItemKind::Slider, "", 31, 65, 145, 25, true, "sliderChannel1"},
            {IDC_SLIDER_CHANNEL2, ItemKind::Slider, "", 31, 89, 145, 25, true, "sliderChannel2"},
            {IDC_SLIDER_CHANNEL3, ItemKind::Slider, "", 31, 113, 145, 25, true, "sliderChannel3"},
            {IDC_EDIT_CHANNEL1, ItemKind::Edit, "", 187, 68, 24, 14, true, "editChannel1"},
            {IDC_EDIT_CHANNEL2, ItemKind::Edit, "", 187, 93, 24, 14, true, "editChannel2"},
            {IDC_EDIT_CHANNEL3, ItemKind::Edit, "", 187, 117, 24, 14, true, "editChannel3"},
            {IDC_BUTTON_CONNECT, ItemKind::PushButton, "连接光源控制器", 99, 11, 62, 14, false, "buttonConnect"},
            {IDC_BUTTON_CHANNEL1, ItemKind::PushButton, "确认", 228, 68, 24, 14, true, "buttonConfirmChannel1"},
            {IDC_BUTTON_CHANNEL2, ItemKind::PushButton, "确认", 228, 93, 24, 14, true, "buttonConfirmChannel2"},
            {IDC_BUTTON_CHANNEL3, ItemKind::PushButton, "确认", 228, 117, 24, 14, true, "buttonConfirmChannel3"},
            // The serial control's entry: it has no window here, the link owns the port.
            {IDC_MSCOMM, ItemKind::SerialControl, "", 7, 6, 22, 22, false, "serialControl"},
            {IDC_COMBO_PORT, ItemKind::ComboBox, "", 46, 13, 48, 30, false, "comboPort"},
            {IDC_STATIC, ItemKind::CentredLabel, "频率", 8, 49, 24, 8, false, "labelFrequency"},
            {IDC_SLIDER_FREQUENCY, ItemKind::Slider, "", 31, 41, 145, 25, true, "sliderFrequency"},
            {IDC_EDIT_FREQUENCY, ItemKind::Edit, "", 180, 44, 32, 14, true, "editFrequency"},
            {IDC_BUTTON_FREQUENCY, ItemKind::PushButton, "确认", 228, 44, 24, 14, true, "buttonConfirmFrequency"},
            {IDC_STATIC, ItemKind::CentredLabel, "HZ", 213, 47, 13, 8, false, "labelHz"},
            {IDC_STATIC, ItemKind::CentredLabel, "%", 214, 71, 13, 8, false, "labelPercent1"},
            {IDC_STATIC, ItemKind::CentredLabel, "%", 214, 96, 13, 8, false, "labelPercent2"},
            {IDC_STATIC, ItemKind::CentredLabel, "%", 214, 120, 13, 8, false, "labelPercent3"},
            {IDC_STATIC, ItemKind::CentredLabel, "Dimra 照明", 181, 9, 73, 8, false, "labelVendorName"},
            {IDC_STATIC, ItemKind::CentredLabel, "www.dimra.example", 181, 19, 73, 8, false, "labelVendorWeb"},
        }};
    return tpl;
}

const DialogTemplate &AboutBoxTemplate()
{
    static const DialogTemplate tpl{
        IDD_ABOUTBOX, "关于 Dimra", 9, 170, 62, false,
        {
            {IDR_MAINFRAME, ItemKind::Icon, "", 14, 14, 21, 20, false, "iconApp"},
            {IDC_STATIC, ItemKind::Label, "Dimra，1.0 版", 42, 14, 114, 8, false, "labelVersion"},
            {IDC_STATIC, ItemKind::Label, "三通道 PWM 调光器上位机", 42, 26, 114, 8, false, "labelAbout"},
            {IDOK, ItemKind::DefPushButton, "确定", 113, 41, 50, 14, false, "buttonOk"},
        }};
    return tpl;
}

QString LoadResString(int id)
{
    switch (id) {
    case IDS_ABOUTBOX:
        return QStringLiteral("关于 Dimra(&A)...");
    default:
        return QString();
    }
}
