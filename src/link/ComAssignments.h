#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <array>

namespace q5n {

constexpr int kComPortCount = 6;

// A serial device as the system shows it now, named by what stays the same
// from one plugging to the next: the name of a USB adapter under
// /dev/serial/by-id ("by-id/usb-FTDI_..."), else its name under
// /dev/serial/by-path ("by-path/pci-..."), else the device's own name
// ("ttyS0") for a built-in port.
struct PresentDevice
{
    QString identity;
    QString path;       // what is opened: the link under by-id or by-path, or /dev/ttyS0
    QString systemPath; // the system's device now ("/dev/ttyUSB0")
    bool operator==(const PresentDevice &) const = default;
};

// A link in one of the system's folders of stable names: its name and the
// device it points at.
struct DeviceLink
{
    QString name;
    QString target; // the device's path ("/dev/ttyUSB0")
};

// The present devices from the system's serial ports (device paths) and its
// two folders of links. A port with a by-id link is known by it, else by its
// by-path link, else by its name; a link whose device the system did not list
// (a pseudo-terminal standing in for an adapter) is a device too. Sorted
// naturally by the system's device ("ttyUSB2" before "ttyUSB10").
QList<PresentDevice> serialDevicesFrom(const QStringList &systemPorts, const QString &byIdDir,
                                       const QList<DeviceLink> &byId, const QString &byPathDir,
                                       const QList<DeviceLink> &byPath);

// "Com n" -> the identity of its device; an empty entry is a free number.
using ComTable = std::array<QString, kComPortCount>;

// The numbers after `present` was seen: every number keeps its device, present
// or not; a built-in port ttyS<k> not yet numbered takes Com k+1 when that is
// free; every other device seen for the first time takes the lowest free
// number, in natural order of the device names. An identity that stands at two
// numbers keeps the first. Devices beyond six get none.
ComTable assignComNumbers(ComTable kept, const QList<PresentDevice> &present);

// Gives Com n (1..6) to `identity`; the device that had n takes the number the
// identity had (the two swap), or none when it had none.
void giveComNumber(ComTable &table, int n, const QString &identity);

// 1..6, or 0 when the identity has no number.
int comNumberOf(const ComTable &table, const QString &identity);

// The settings file: one line "ComN=identity" per numbered device.
QByteArray comTableBytes(const ComTable &table);
ComTable parseComTable(const QByteArray &bytes);

// How a device is named to the user: "the USB adapter FTDI_FT232R_A12345",
// "the serial adapter at pci-0000:00:14.0-usb-0:2:1.0", "the built-in port ttyS0".
QString deviceDescription(const QString &identity);

// "ttyUSB2" before "ttyUSB10": runs of digits compare as numbers.
bool naturalLess(const QString &a, const QString &b);

} // namespace q5n
