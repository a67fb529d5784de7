// The "Options" dialog: data-log sampling time and the serial port properties for this run.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <array>

class Clock;
class Comm1;
class Dialogs;

class PropertiesFrm : public QDialog {
    Q_OBJECT
public:
    PropertiesFrm(Comm1 &port, Dialogs &dialogs, Clock &clock, QWidget *parent = nullptr);

    struct SettingsParts {
        QString speed, parity, dataBits, stopBits;
    };
    // Cuts "9600,N,8,1" or "9600,N,8,1.5" at the positions counted from its end.
    static SettingsParts SplitSettings(const QString &settings);

    QTabWidget *SSTab1 = nullptr;
    QComboBox *CboAS = nullptr, *CboPort = nullptr, *CboSpeed = nullptr, *CboDataBits = nullptr,
              *CboParity = nullptr, *CboStopBits = nullptr;
    std::array<QRadioButton *, 4> OptFlow{};
    std::array<QRadioButton *, 2> OptEcho{};
    QPushButton *CmdOK = nullptr, *CmdCancel = nullptr, *CmdDefault = nullptr;
    QCheckBox *ChkRemote = nullptr; // remote control on
    QSpinBox *SpnRemotePort = nullptr;
    // "Publish readings for monitoring (Prometheus)": the address and port of GET /metrics.
    QCheckBox *ChkMetrics = nullptr;
    QLineEdit *EdtMetricsAddress = nullptr;
    QSpinBox *SpnMetricsPort = nullptr;
    QLineEdit *EdtBenchName = nullptr; // empty: the host name and the port number
    QCheckBox *ChkReconnect = nullptr; // "Reconnect automatically"; the caller loads and keeps it
    // The device the selected port number reaches, and a present device to assign to it (entry
    // 0: none, the port number's own device).
    QComboBox *CboDevice = nullptr;
    QLabel *LblDevice = nullptr;
    // Assignments made in this dialog (an empty path removes one), applied on OK; the caller
    // remembers them.
    QMap<int, QString> NewAssignments;
    int FlowMode = 0;
    bool EchoOff = false;

signals:
    // The sampling or port settings changed while the live chart is shown.
    void liveChartChanged();
    // A new sampling interval: the live sampling starts over with it at once.
    void samplingChanged();

public slots:
    void LoadPropertySettings();
    void SSTab1_Click(int page);
    void CmdDefault_Click();
    void CmdOK_Click();
    void CmdCancel_Click();

private:
    QString SettingsText() const; // "9600,N,8,1" from the boxes
    void ShowDevice();   // the selected port's device in LblDevice and CboDevice
    void DevicePicked(); // CboDevice's choice for the selected port
    QWidget *buildSamplingPage();
    QWidget *buildPortPage();
    QWidget *buildRemotePage();

    Comm1 &comm1_;
    Dialogs &dialogs_;
    Clock &clock_;
};
