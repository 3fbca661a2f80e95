#include "remote/AppleRemote.h"

#include "platform/foundation/Log.h"
#include "remote/EvdevHIDBackend.h"

const QString AppleRemote::kDeviceName = QStringLiteral("AppleIRController");

namespace {

const QString kEmulationMark = QStringLiteral("RemoteBuddyEmulationV2");

}  // namespace

std::unique_ptr<AppleRemote> AppleRemote::create(std::shared_ptr<RemoteControlDelegate> delegate,
                                                 std::unique_ptr<HIDRemoteBackend> backend) {
  if (!backend) backend = std::make_unique<EvdevHIDBackend>();
  if (!backend->findDevice(kDeviceName)) {
    ox::log(QStringLiteral("remote control: no infrared receiver found, the keyboard alone drives the program"));
    return nullptr;
  }
  return std::unique_ptr<AppleRemote>(new AppleRemote(std::move(delegate), std::move(backend)));
}

AppleRemote::AppleRemote(std::shared_ptr<RemoteControlDelegate> delegate, std::unique_ptr<HIDRemoteBackend> backend)
    : HIDRemoteControlDevice(std::move(delegate), kDeviceName, std::move(backend)) {
  const QVariant mark = this->backend().deviceProperty(kEmulationMark);
  const bool emulated = mark.typeId() == QMetaType::Bool && mark.toBool();
  setCookieMapping(cookieTable(this->backend().cookieGeneration(), emulated));
}

QMap<QString, qint32> AppleRemote::cookieTable(int generation, bool emulationMark) {
  if (generation <= 824) {
    return {
        {QStringLiteral("14_12_11_6_"), RemoteButtonPlus},
        {QStringLiteral("14_13_11_6_"), RemoteButtonMinus},
        {QStringLiteral("14_7_6_14_7_6_"), RemoteButtonMenu},
        {QStringLiteral("14_8_6_14_8_6_"), RemoteButtonPlay},
        {QStringLiteral("14_9_6_14_9_6_"), RemoteButtonRight},
        {QStringLiteral("14_10_6_14_10_6_"), RemoteButtonLeft},
        {QStringLiteral("14_6_4_2_"), RemoteButtonRightHold},
        {QStringLiteral("14_6_3_2_"), RemoteButtonLeftHold},
        {QStringLiteral("14_6_14_6_"), RemoteButtonMenuHold},
        {QStringLiteral("18_14_6_18_14_6_"), RemoteButtonPlayHold},
        {QStringLiteral("19_"), RemoteControlSwitched},
    };
  }
  if (generation > 949 && !emulationMark) {
    return {
        {QStringLiteral("33_31_30_21_20_2_"), RemoteButtonPlus},
        {QStringLiteral("33_32_30_21_20_2_"), RemoteButtonMinus},
        {QStringLiteral("33_22_21_20_2_33_22_21_20_2_"), RemoteButtonMenu},
        {QStringLiteral("33_23_21_20_2_33_23_21_20_2_"), RemoteButtonPlay},
        {QStringLiteral("33_24_21_20_2_33_24_21_20_2_"), RemoteButtonRight},
        {QStringLiteral("33_25_21_20_2_33_25_21_20_2_"), RemoteButtonLeft},
        {QStringLiteral("33_21_20_14_12_2_"), RemoteButtonRightHold},
        {QStringLiteral("33_21_20_13_12_2_"), RemoteButtonLeftHold},
        {QStringLiteral("33_21_20_2_33_21_20_2_"), RemoteButtonMenuHold},
        {QStringLiteral("37_33_21_20_2_37_33_21_20_2_"), RemoteButtonPlayHold},
        {QStringLiteral("19_"), RemoteControlSwitched},
        // Further Play and Play-held layouts of this generation.
        {QStringLiteral("33_21_20_8_2_33_21_20_8_2_"), RemoteButtonPlay},
        {QStringLiteral("33_21_20_3_2_33_21_20_3_2_"), RemoteButtonPlay},
        {QStringLiteral("33_21_20_11_2_33_21_20_11_2_"), RemoteButtonPlayHold},
    };
  }
  return {
      {QStringLiteral("31_29_28_19_18_"), RemoteButtonPlus},
      {QStringLiteral("31_30_28_19_18_"), RemoteButtonMinus},
      {QStringLiteral("31_20_19_18_31_20_19_18_"), RemoteButtonMenu},
      {QStringLiteral("31_21_19_18_31_21_19_18_"), RemoteButtonPlay},
      {QStringLiteral("31_22_19_18_31_22_19_18_"), RemoteButtonRight},
      {QStringLiteral("31_23_19_18_31_23_19_18_"), RemoteButtonLeft},
      {QStringLiteral("31_19_18_4_2_"), RemoteButtonRightHold},
      {QStringLiteral("31_19_18_3_2_"), RemoteButtonLeftHold},
      {QStringLiteral("31_19_18_31_19_18_"), RemoteButtonMenuHold},
      {QStringLiteral("35_31_19_18_35_31_19_18_"), RemoteButtonPlayHold},
      {QStringLiteral("19_"), RemoteControlSwitched},
  };
}

void AppleRemote::sendRemoteButtonEvent(qint32 code, bool pressedDown) {
  if (code == RemoteButtonMenuHold && !pressedDown) HIDRemoteControlDevice::sendRemoteButtonEvent(code, true);
  HIDRemoteControlDevice::sendRemoteButtonEvent(code, pressedDown);
  if (pressedDown && (code == RemoteButtonMenu || code == RemoteButtonPlay || code == RemoteButtonRight ||
                      code == RemoteButtonLeft || code == RemoteButtonPlayHold))
    HIDRemoteControlDevice::sendRemoteButtonEvent(code, false);
}
