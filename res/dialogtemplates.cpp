#include "dialogtemplates.h"

#include "resource.h"

#include <QCoreApplication>

using namespace Res;

const DialogTemplate &MainDialogTemplate()
{
    // The closed port list shows an entry's number and device whole
    // ("COM12  ttyUSB10", "COM12  (no device)"): it is 40 units wider than
    // the number alone needed, and so is the window; what stands right of
    // the list moves over by as much, and the sliders grow by it.
    static const DialogTemplate tpl{
        IDD_DIMRA_DIALOG, QT_TRANSLATE_NOOP("DialogTemplate", "PWM调光器 v1.0 "), 9, 303, 147, true,
        {
            {IDC_STATIC, ItemKind::CentredLabel, QT_TRANSLATE_NOOP("DialogTemplate", "通道1"), 8, 73, 24, 8, false, "labelChannel1"},
            {IDC_STATIC, ItemKind::CentredLabel, QT_TRANSLATE_NOOP("DialogTemplate", "通道2"), 8, 97, 24, 8, false, "labelChannel2"},
            {IDC_STATIC, ItemKind::CentredLabel, QT_TRANSLATE_NOOP("DialogTemplate", "通道3"), 8, 121, 24, 8, false, "labelChannel3"},
            {IDC_STATIC, ItemKind::CentredLabel, QT_TRANSLATE_NOOP("DialogTemplate", "端口选择："), 9, 14, 37, 8, false, "labelPort"},
            {IDC_SLIDER_CHANNEL1, ItemKind::Slider, "", 31, 65, 185, 25, true, "sliderChannel1"},
            {IDC_SLIDER_CHANNEL2, ItemKind::Slider, "", 31, 89, 185, 25, true, "sliderChannel2"},
            {IDC_SLIDER_CHANNEL3, ItemKind::Slider, "", 31, 113, 185, 25, true, "sliderChannel3"},
            {IDC_EDIT_CHANNEL1, ItemKind::Edit, "", 227, 68, 24, 14, true, "editChannel1"},
            {IDC_EDIT_CHANNEL2, ItemKind::Edit, "", 227, 93, 24, 14, true, "editChannel2"},
            {IDC_EDIT_CHANNEL3, ItemKind::Edit, "", 227, 117, 24, 14, true, "editChannel3"},
            {IDC_BUTTON_CONNECT, ItemKind::PushButton, QT_TRANSLATE_NOOP("DialogTemplate", "连接光源控制器"), 139, 11, 62, 14, false, "buttonConnect"},
            {IDC_BUTTON_CHANNEL1, ItemKind::PushButton, QT_TRANSLATE_NOOP("DialogTemplate", "确认"), 268, 68, 24, 14, true, "buttonConfirmChannel1"},
            {IDC_BUTTON_CHANNEL2, ItemKind::PushButton, QT_TRANSLATE_NOOP("DialogTemplate", "确认"), 268, 93, 24, 14, true, "buttonConfirmChannel2"},
            {IDC_BUTTON_CHANNEL3, ItemKind::PushButton, QT_TRANSLATE_NOOP("DialogTemplate", "确认"), 268, 117, 24, 14, true, "buttonConfirmChannel3"},
            // The serial control's entry: it has no window here, the link owns the port.
            {IDC_MSCOMM, ItemKind::SerialControl, "", 7, 6, 22, 22, false, "serialControl"},
            {IDC_COMBO_PORT, ItemKind::ComboBox, "", 46, 13, 88, 30, false, "comboPort"},
            {IDC_STATIC, ItemKind::CentredLabel, QT_TRANSLATE_NOOP("DialogTemplate", "频率"), 8, 49, 24, 8, false, "labelFrequency"},
            {IDC_SLIDER_FREQUENCY, ItemKind::Slider, "", 31, 41, 185, 25, true, "sliderFrequency"},
            {IDC_EDIT_FREQUENCY, ItemKind::Edit, "", 220, 44, 32, 14, true, "editFrequency"},
            {IDC_BUTTON_FREQUENCY, ItemKind::PushButton, QT_TRANSLATE_NOOP("DialogTemplate", "确认"), 268, 44, 24, 14, true, "buttonConfirmFrequency"},
            {IDC_STATIC, ItemKind::CentredLabel, QT_TRANSLATE_NOOP("DialogTemplate", "HZ"), 253, 47, 13, 8, false, "labelHz"},
            {IDC_STATIC, ItemKind::CentredLabel, "%", 254, 71, 13, 8, false, "labelPercent1"},
            {IDC_STATIC, ItemKind::CentredLabel, "%", 254, 96, 13, 8, false, "labelPercent2"},
            {IDC_STATIC, ItemKind::CentredLabel, "%", 254, 120, 13, 8, false, "labelPercent3"},
            {IDC_STATIC, ItemKind::CentredLabel, QT_TRANSLATE_NOOP("DialogTemplate", "Dimra 照明"), 221, 9, 73, 8, false, "labelVendorName"},
            {IDC_STATIC, ItemKind::CentredLabel, "www.dimra.example", 221, 19, 73, 8, false, "labelVendorWeb"},
        }};
    return tpl;
}

const DialogTemplate &AboutBoxTemplate()
{
    static const DialogTemplate tpl{
        IDD_ABOUTBOX, QT_TRANSLATE_NOOP("DialogTemplate", "关于 Dimra"), 9, 170, 62, false,
        {
            {IDR_MAINFRAME, ItemKind::Icon, "", 14, 14, 21, 20, false, "iconApp"},
            {IDC_STATIC, ItemKind::Label, QT_TRANSLATE_NOOP("DialogTemplate", "Dimra，1.0 版"), 42, 14, 114, 8, false, "labelVersion"},
            {IDC_STATIC, ItemKind::Label, QT_TRANSLATE_NOOP("DialogTemplate", "三通道 PWM 调光器上位机"), 42, 26, 114, 8, false, "labelAbout"},
            {IDOK, ItemKind::DefPushButton, QT_TRANSLATE_NOOP("DialogTemplate", "确定"), 113, 41, 50, 14, false, "buttonOk"},
        }};
    return tpl;
}

QString LoadResString(int id)
{
    switch (id) {
    case IDS_ABOUTBOX:
        return QCoreApplication::translate("DialogTemplate", "关于 Dimra(&A)...");
    default:
        return QString();
    }
}
