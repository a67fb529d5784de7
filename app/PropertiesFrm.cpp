#include "PropertiesFrm.h"

#include "Clock.h"
#include "Comm1.h"
#include "Dialogs.h"
#include "Module1.h"
#include "PortDevices.h"
#include "PortSettings.h"
#include "SampleStore.h"
#include "Timeline.h"

#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace Module1;

namespace {

const QStringList SamplingTimes{"0.5s", "1s",  "2s",  "3s",  "5s",  "6s",
                                "10s",  "12s", "15s", "20s", "30s", "60s"};
const QStringList Speeds{"110",   "300",   "600",   "1200",  "2400",  "4800",   "9600",   "14400",
                         "19200", "28800", "38400", "56000", "57600", "115200", "128000", "256000"};
const QStringList DataBits{"4", "5", "6", "7", "8"};
const QStringList Parities{"Even", "Odd", "None", "Mark", "Space"};
const QStringList StopBits{"1", "1.5", "2"};

QComboBox *combo(const QString &name, const QStringList &items, QWidget *parent) {
    auto *box = new QComboBox(parent);
    box->setObjectName(name);
    box->addItems(items);
    return box;
}

template <size_t N>
QGroupBox *options(const QString &title, std::array<QRadioButton *, N> &buttons,
                   const QString &name, const QStringList &captions, QWidget *parent) {
    auto *frame = new QGroupBox(title, parent);
    auto *column = new QVBoxLayout(frame);
    for (size_t i = 0; i < N; ++i) {
        buttons[i] = new QRadioButton(captions[int(i)], frame);
        buttons[i]->setObjectName(name + u'_' + QString::number(i));
        column->addWidget(buttons[i]);
    }
    return frame;
}

} // namespace

PropertiesFrm::PropertiesFrm(Comm1 &port, Dialogs &dialogs, Clock &clock, QWidget *parent)
    : QDialog(parent), comm1_(port), dialogs_(dialogs), clock_(clock) {
    setObjectName(QStringLiteral("PropertiesFrm"));
    setWindowTitle(QStringLiteral("Options"));
    setModal(true);
    auto *column = new QVBoxLayout(this);
    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    SSTab1->setUsesScrollButtons(false); // both captions in full
    SSTab1->addTab(buildSamplingPage(), QStringLiteral("    Sampling  Time    "));
    SSTab1->addTab(buildPortPage(), QStringLiteral("    Communication  Port  Properties   "));
    SSTab1->addTab(buildRemotePage(), QStringLiteral("Remote control"));
    column->addWidget(SSTab1);
    auto *buttons = new QHBoxLayout;
    CmdOK = new QPushButton(QStringLiteral("OK"), this);
    CmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    CmdDefault = new QPushButton(QStringLiteral("Default"), this);
    CmdOK->setObjectName(QStringLiteral("CmdOK"));
    CmdCancel->setObjectName(QStringLiteral("CmdCancel"));
    CmdDefault->setObjectName(QStringLiteral("CmdDefault"));
    CmdOK->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(CmdOK);
    buttons->addWidget(CmdCancel);
    buttons->addWidget(CmdDefault);
    column->addLayout(buttons);

    connect(SSTab1, &QTabWidget::currentChanged, this, &PropertiesFrm::SSTab1_Click);
    connect(CmdOK, &QPushButton::clicked, this, &PropertiesFrm::CmdOK_Click);
    connect(CboPort, &QComboBox::currentIndexChanged, this, &PropertiesFrm::ShowDevice);
    connect(CboDevice, &QComboBox::activated, this, &PropertiesFrm::DevicePicked);
    connect(CmdCancel, &QPushButton::clicked, this, &PropertiesFrm::CmdCancel_Click);
    connect(CmdDefault, &QPushButton::clicked, this, &PropertiesFrm::CmdDefault_Click);
    for (int i = 0; i < 4; ++i)
        connect(OptFlow[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                FlowMode = i;
        });
    connect(OptEcho[1], &QRadioButton::toggled, this, [this](bool on) { EchoOff = on; });
    LoadPropertySettings();
}

QWidget *PropertiesFrm::buildSamplingPage() {
    auto *page = new QWidget(this);
    auto *form = new QFormLayout(page);
    CboAS = combo(QStringLiteral("CboAS"), {}, page);
    form->addRow(QStringLiteral("Data Log Sampling Time :"), CboAS);
    return page;
}

QWidget *PropertiesFrm::buildPortPage() {
    auto *page = new QWidget(this);
    auto *row = new QHBoxLayout(page);
    auto *connectFrame = new QGroupBox(QStringLiteral("Connect"), page);
    auto *form = new QFormLayout(connectFrame);
    CboPort = combo(QStringLiteral("CboPort"), {}, connectFrame);
    CboSpeed = combo(QStringLiteral("CboSpeed"), {}, connectFrame);
    CboDataBits = combo(QStringLiteral("CboDataBits"), {}, connectFrame);
    CboParity = combo(QStringLiteral("CboParity"), {}, connectFrame);
    CboStopBits = combo(QStringLiteral("CboStopBits"), {}, connectFrame);
    form->addRow(QStringLiteral("Port:"), CboPort);
    CboDevice = combo(QStringLiteral("CboDevice"), {}, connectFrame);
    CboDevice->setToolTip(QStringLiteral("A serial device of this computer for the selected port "
                                         "number, e.g. a USB adapter"));
    LblDevice = new QLabel(connectFrame);
    LblDevice->setObjectName(QStringLiteral("LblDevice"));
    LblDevice->setWordWrap(true);
    QFont small = LblDevice->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    LblDevice->setFont(small);
    form->addRow(QStringLiteral("Device:"), CboDevice);
    form->addRow(QString(), LblDevice);
    form->addRow(QStringLiteral("Speed:"), CboSpeed);
    form->addRow(QStringLiteral("Data bit:"), CboDataBits);
    form->addRow(QStringLiteral("Odd/Even:"), CboParity);
    form->addRow(QStringLiteral("Stop bit:"), CboStopBits);
    row->addWidget(connectFrame);
    auto *right = new QVBoxLayout;
    right->addWidget(options(QStringLiteral("Flow control"), OptFlow, QStringLiteral("OptFlow"),
                             {"No", "Xon/Xoff", "RTS", "Xon/RTS"}, page));
    right->addWidget(options(QStringLiteral("Answer"), OptEcho, QStringLiteral("OptEcho"),
                             {" On", " Off"}, page));
    ChkReconnect = new QCheckBox(QStringLiteral("Reconnect automatically"), page);
    ChkReconnect->setObjectName(QStringLiteral("ChkReconnect"));
    ChkReconnect->setToolTip(QStringLiteral("When the port is lost, try every 2 s to open it "
                                            "again and go on polling"));
    right->addWidget(ChkReconnect);
    right->addStretch();
    row->addLayout(right);
    return page;
}

// Scripts and monitoring: what other programs on this computer (or beyond) may do.
QWidget *PropertiesFrm::buildRemotePage() {
    auto *page = new QWidget;
    auto *column = new QVBoxLayout(page);
    auto *remoteFrame = new QGroupBox(QStringLiteral("Remote control (SCPI)"), page);
    auto *remote = new QFormLayout(remoteFrame);
    ChkRemote = new QCheckBox(QStringLiteral("Accept commands from scripts on this computer"),
                              remoteFrame);
    ChkRemote->setObjectName(QStringLiteral("ChkRemote"));
    ChkRemote->setToolTip(QStringLiteral("SCPI lines over TCP on 127.0.0.1 and ::1, from programs "
                                         "of your own user only"));
    SpnRemotePort = new QSpinBox(remoteFrame);
    SpnRemotePort->setObjectName(QStringLiteral("SpnRemotePort"));
    SpnRemotePort->setRange(1, 65535);
    SpnRemotePort->setValue(5025);
    remote->addRow(ChkRemote);
    remote->addRow(QStringLiteral("TCP port:"), SpnRemotePort);
    column->addWidget(remoteFrame);
    auto *metricsFrame = new QGroupBox(QStringLiteral("Monitoring"), page);
    auto *metrics = new QFormLayout(metricsFrame);
    ChkMetrics = new QCheckBox(QStringLiteral("Publish readings for monitoring (Prometheus)"),
                               metricsFrame);
    ChkMetrics->setObjectName(QStringLiteral("ChkMetrics"));
    EdtMetricsAddress = new QLineEdit(QStringLiteral("127.0.0.1"), metricsFrame);
    EdtMetricsAddress->setObjectName(QStringLiteral("EdtMetricsAddress"));
    SpnMetricsPort = new QSpinBox(metricsFrame);
    SpnMetricsPort->setObjectName(QStringLiteral("SpnMetricsPort"));
    SpnMetricsPort->setRange(1, 65535);
    SpnMetricsPort->setValue(9725);
    auto *exposed = new QLabel(QStringLiteral("Readings only, never control. An address other "
                                              "than 127.0.0.1 lets every computer that reaches "
                                              "this one read them."),
                               metricsFrame);
    exposed->setWordWrap(true);
    metrics->addRow(ChkMetrics);
    metrics->addRow(QStringLiteral("Address:"), EdtMetricsAddress);
    metrics->addRow(QStringLiteral("TCP port:"), SpnMetricsPort);
    EdtBenchName = new QLineEdit(metricsFrame);
    EdtBenchName->setObjectName(QStringLiteral("EdtBenchName"));
    EdtBenchName->setMaxLength(50);
    EdtBenchName->setPlaceholderText(QStringLiteral("the host name and port number"));
    metrics->addRow(QStringLiteral("Bench name:"), EdtBenchName);
    metrics->addRow(exposed);
    column->addWidget(metricsFrame);
    column->addStretch();
    return page;
}

PropertiesFrm::SettingsParts PropertiesFrm::SplitSettings(const QString &s) {
    const int k = s.contains(u'.') ? 2 : 0;
    const int n = int(s.size());
    return {s.left(n - 6 - k), s.mid(n - 5 - k, 1), s.mid(n - 3 - k, 1), s.right(1 + k)};
}

void PropertiesFrm::LoadPropertySettings() {
    FlowMode = 0;
    EchoOff = false;
    // The port can only be changed while no supply is connected.
    for (QWidget *w :
         std::initializer_list<QWidget *>{CboPort, CboSpeed, CboDataBits, CboParity, CboStopBits,
                                          OptFlow[0]->parentWidget(), OptEcho[0]->parentWidget()})
        w->setEnabled(!Connected);

    CboAS->clear();
    CboAS->addItems(SamplingTimes);
    CboPort->clear();
    for (int i = 1; i <= 16; ++i)
        CboPort->addItem(QStringLiteral("Com%1").arg(i));
    CboSpeed->clear();
    CboSpeed->addItems(Speeds);
    CboDataBits->clear();
    CboDataBits->addItems(DataBits);
    CboParity->clear();
    CboParity->addItems(Parities);
    CboStopBits->clear();
    CboStopBits->addItems(StopBits);

    for (int i = 0; i < CboAS->count(); ++i)
        if (LeadingNumber(CboAS->itemText(i)) == SampleMs / 1000.0)
            CboAS->setCurrentIndex(i);

    const SettingsParts parts = SplitSettings(comm1_.Settings());
    CboSpeed->setCurrentText(parts.speed);
    CboDataBits->setCurrentText(parts.dataBits);
    CboStopBits->setCurrentText(parts.stopBits);
    for (int i = 0; i < CboParity->count(); ++i)
        if (CboParity->itemText(i).left(1).compare(parts.parity, Qt::CaseInsensitive) == 0)
            CboParity->setCurrentIndex(i);

    CboPort->setCurrentIndex(comm1_.CommPort() - 1);
    CboDevice->setEnabled(!Connected);
    NewAssignments.clear();
    ShowDevice();
    OptFlow[std::clamp(comm1_.Handshaking(), 0, 3)]->setChecked(true);
    OptEcho[0]->setChecked(true);
    FlowMode = comm1_.Handshaking();
}

void PropertiesFrm::ShowDevice() {
    const int port = CboPort->currentIndex() + 1;
    const QSignalBlocker quiet(CboDevice);
    CboDevice->clear();
    CboDevice->addItem(QStringLiteral("None (the port number's own)"), QString());
    for (const PortDevices::Device &d : PortDevices::Present())
        CboDevice->addItem(d.label, d.path);
    const QString assigned = NewAssignments.value(port, PortDevices::Assigned(port).value_or(""));
    // A device the system does not list as a serial port (a pseudo-terminal, a link made by
    // hand) may still be there: only a path that is gone is "not present".
    if (!assigned.isEmpty() && CboDevice->findData(assigned) < 0)
        CboDevice->addItem(
            assigned + (QFileInfo::exists(assigned) ? QString() : QStringLiteral(" (not present)")),
            assigned);
    CboDevice->setCurrentIndex(std::max(0, CboDevice->findData(assigned)));
    if (port < 1) {
        LblDevice->clear();
        return;
    }
    // What the port reaches once OK is pressed: the variable still wins.
    const QString device =
        NewAssignments.contains(port) ? DevicePathFor(port, assigned) : DevicePathFor(port);
    LblDevice->setText(QStringLiteral("Com%1 reaches %2 (%3)")
                           .arg(port)
                           .arg(device, NewAssignments.contains(port) ? QStringLiteral("after OK")
                                                                      : PortDevices::Origin(port)));
}

void PropertiesFrm::DevicePicked() {
    NewAssignments.insert(CboPort->currentIndex() + 1, CboDevice->currentData().toString());
    ShowDevice();
}

void PropertiesFrm::SSTab1_Click(int page) {
    if (page == 0)
        CmdDefault->setEnabled(true);
    else if (Connected || page == 2) // scripts and monitoring have no defaults to go back to
        CmdDefault->setEnabled(false);
}

void PropertiesFrm::CmdDefault_Click() {
    if (SSTab1->currentIndex() == 0) {
        CboAS->setCurrentText(QStringLiteral("2s"));
        return;
    }
    CboPort->setCurrentText(QStringLiteral("Com1"));
    CboSpeed->setCurrentText(QStringLiteral("9600"));
    CboDataBits->setCurrentText(QStringLiteral("8"));
    CboParity->setCurrentText(QStringLiteral("None"));
    CboStopBits->setCurrentText(QStringLiteral("1"));
    OptEcho[0]->setChecked(true);
    OptFlow[0]->setChecked(true);
}

void PropertiesFrm::CmdOK_Click() {
    // Settings the system would refuse are said here, with the dialog still open to mend them.
    if (const auto chosen = PortSettings::parse(SettingsText())) {
        if (const QString why = chosen->refusal(); !why.isEmpty()) {
            dialogs_.MsgBox(why, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
            CboStopBits->setFocus();
            return;
        }
    }
    hide();
    const double seconds = LeadingNumber(CboAS->currentText());
    if (seconds != SampleMs / 1000.0 &&
        // Yes empties the live chart: Enter must not.
        dialogs_.MsgBox(QStringLiteral("Are you really doing it ?"), Dialogs::Buttons::YesNoSafe) ==
            Dialogs::Answer::Yes) {
        LiveStore.Clear();
        Timeline::Restart(clock_);
        SampleMs = qint64(seconds * 1000);
        emit samplingChanged();
    }

    auto fail = [this](const CommError &e) {
        dialogs_.MsgBox(e.description(), Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        reject();
    };
    const int oldPort = comm1_.CommPort();
    const int newPort = CboPort->currentIndex() + 1;
    const QString oldDevice = DevicePathFor(oldPort);
    QMap<int, QString> before; // to put back when the new device cannot be opened
    for (auto it = NewAssignments.cbegin(); it != NewAssignments.cend(); ++it) {
        before.insert(it.key(), PortDevices::Assigned(it.key()).value_or(QString()));
        PortDevices::Assign(it.key(), it.value());
    }
    // A remembered port the list cannot show (above 16) selects no entry and stays as it is.
    if (CboPort->currentIndex() >= 0 &&
        (newPort != oldPort || DevicePathFor(newPort) != oldDevice)) {
        const bool wasOpen = comm1_.PortOpen();
        try {
            if (wasOpen)
                comm1_.setPortOpen(false);
            comm1_.setCommPort(newPort);
            if (wasOpen)
                comm1_.setPortOpen(true);
        } catch (const CommError &e) {
            comm1_.setCommPort(oldPort); // the port stays closed
            for (auto it = before.cbegin(); it != before.cend(); ++it)
                PortDevices::Assign(it.key(), it.value());
            NewAssignments.clear();
            return fail(e);
        }
    }
    try {
        comm1_.setSettings(SettingsText());
    } catch (const CommError &e) {
        return fail(e);
    }
    try {
        comm1_.setHandshaking(FlowMode);
    } catch (const CommError &e) {
        return fail(e);
    }
    emit liveChartChanged();
    accept();
}

QString PropertiesFrm::SettingsText() const {
    return CboSpeed->currentText().trimmed() + u',' + CboParity->currentText().trimmed().left(1) +
           u',' + CboDataBits->currentText().trimmed() + u',' + CboStopBits->currentText().trimmed();
}

void PropertiesFrm::CmdCancel_Click() {
    reject();
}
