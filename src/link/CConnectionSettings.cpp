#include "link/CConnectionSettings.h"

CConnectionSettings::CConnectionSettings()
    : regHost_("sHost", kFactoryHost), regPortName_("sPortName", kEthernetPortName),
      regPort_("dwPort", kFactoryPort), regFlow_("dwFlow", 0), regBaud_("dwBaud", 1),
      regStop_("dwStop", 0), regParity_("dwParity", 0), regData_("dwData", 3),
      regLockCode_("dwLockCode", kFactoryLockCode) {}

void CConnectionSettings::ReadRegistry() {
    regHost_.Read();
    regPortName_.Read();
    regPort_.Read();
    regFlow_.Read();
    regBaud_.Read();
    regStop_.Read();
    regParity_.Read();
    regData_.Read();
    regLockCode_.Read();
}

void CConnectionSettings::WriteRegistry() {
    // A failed write at the end is ignored: the old values simply stay.
    (void)regHost_.Write();
    (void)regPortName_.Write();
    (void)regPort_.Write();
    (void)regFlow_.Write();
    (void)regBaud_.Write();
    (void)regStop_.Write();
    (void)regParity_.Write();
    (void)regData_.Write();
    (void)regLockCode_.Write();
}

void CConnectionSettings::Load() {
    port = regPort_.Value();
    host = regHost_.Value();
    portName = regPortName_.Value();
    serial = portName == kEthernetPortName ? 0 : 1;
    flow = regFlow_.Value();
    baud = regBaud_.Value();
    stop = regStop_.Value();
    data = regData_.Value();
    parity = regParity_.Value();
    lockCode = regLockCode_.Value();
}

void CConnectionSettings::Save() {
    regPort_.SetValue(port);
    regHost_.SetValue(host);
    regPortName_.SetValue(portName);
    regFlow_.SetValue(flow);
    regBaud_.SetValue(baud);
    regStop_.SetValue(stop);
    regParity_.SetValue(parity);
    regData_.SetValue(data);
    regLockCode_.SetValue(lockCode);
}

void CConnectionSettings::SetLinkDefaults() {
    replyTimeoutMs = 1500;
    pollRate = 15;
    maxTries = 10;
    flow = 0;
    data = 3;
    baud = 1;
    stop = 0;
    parity = 0;
}
