#pragma once

#include "link/ComAssignments.h"

#include <QString>

#include <functional>

namespace q5n {

// Where the Com numbers come from: the system's serial ports, its folders of
// stable device names and the user's settings file of assignments. Tests
// give a folder of links standing in for /dev/serial/by-id, their own list of
// system ports and a temporary settings file.
struct ComPortSources
{
    QString byIdDir = QStringLiteral("/dev/serial/by-id");
    QString byPathDir = QStringLiteral("/dev/serial/by-path");
    QString settingsFile = defaultSettingsFile();
    std::function<QStringList()> systemPorts = &systemSerialPorts;

    // comports in the user's configuration folder (shared by q5ncfg and q5ntool).
    static QString defaultSettingsFile();
    // The device paths of the serial ports the system lists.
    static QStringList systemSerialPorts();
};

// What "Com n" stands for now.
struct ComPort
{
    int number = 0;
    QString device;     // the path to open; empty when there is none to use
    QString identity;   // the assigned device, empty for a free number (or an override)
    QString systemPath; // the system's device behind a present one ("/dev/ttyUSB0")
    bool present = false;
    bool overridden = false; // Q5NCFG_COM<n> names the device
    // For the user: "Com 2 is the USB adapter X (/dev/ttyUSB0)", or why there
    // is no device ("Com 2 is the USB adapter X, which is not connected").
    QString text;
};

// The Com numbers of this user: each number keeps the device it was given
// until the user gives it another; a device seen for the first time takes the
// lowest free number (built-in ports their own). Every look reads the present
// devices afresh, so a device plugged in or out is seen at the next exchange.
class ComPorts
{
public:
    explicit ComPorts(ComPortSources sources = {});

    QList<PresentDevice> presentDevices() const;
    // The assignments with the present devices numbered; a change is saved.
    ComTable table() const;
    ComPort port(int n) const;
    // Com 1..6 at once, from one look at the devices.
    QList<ComPort> all() const;
    // Gives Com n to a device and saves it; empty on success, else the reason.
    QString give(int n, const QString &identity) const;
    const ComPortSources &sources() const { return m_sources; }

private:
    ComTable load() const;
    QString save(const ComTable &table) const;
    ComPort describe(int n, const ComTable &table, const QList<PresentDevice> &present) const;

    ComPortSources m_sources;
};

// The device behind "COM n" (1..6): Q5NCFG_COM<n> when set (tests and scripts
// point a port at a pseudo-terminal with it), else the device the user's
// assignments give n when it is present. Empty when there is none.
QString comDevicePath(int n);

// How a --port value (com1..com6, or a device path) resolves, with what to
// tell the user when it cannot be used.
struct PortName
{
    QString device;          // the path to open; empty when none
    int comNumber = 0;       // 1..6 for a Com name
    bool usageError = false; // not a name the program accepts (com7, a file that is no device)
    QString problem;         // why there is no usable device, for the user
    QString text;            // what the name resolves to, for reports ("com2 is /dev/ttyUSB0 ...")
};
PortName resolvePortName(const QString &value, const ComPorts &ports = ComPorts());

} // namespace q5n
