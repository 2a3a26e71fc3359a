// SPDX-License-Identifier: GPL-3.0-or-later
#include "renderpath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace rendering {

namespace {

Path applied = Path::Hardware;

// As Mesa reads its boolean switches.
bool mesaTrue(const QByteArray &value)
{
    const QByteArray v = value.trimmed().toLower();
    return v == "1" || v == "y" || v == "yes" || v == "true";
}

// Kernel drivers whose render node draws nothing in hardware: buffer
// sharing only (vgem), a virtual display (vkms), or a virtual card whose 3D
// cannot be told from here and is usually absent (virtio_gpu: a host GPU
// reached through it is chosen with VEXEL_GL=hardware).
bool drawsInHardware(const QByteArray &driver)
{
    static const QList<QByteArray> softwareOnly = {"vgem", "vkms", "virtio_gpu", "virtio-gpu", "simpledrm"};
    return !driver.isEmpty() && !softwareOnly.contains(driver);
}

void setUnlessSet(const char *name, const QByteArray &value)
{
    if (!qEnvironmentVariableIsSet(name))
        qputenv(name, value);
}

}  // namespace

Probe probe()
{
    Probe found;
    found.userChoice = qgetenv("VEXEL_GL");
    found.alwaysSoftware = qgetenv("LIBGL_ALWAYS_SOFTWARE");
    found.galliumDriver = qgetenv("GALLIUM_DRIVER");
    found.loaderOverride = qgetenv("MESA_LOADER_DRIVER_OVERRIDE");
    const QStringList nodes = QDir(QStringLiteral("/dev/dri")).entryList({QStringLiteral("renderD*")}, QDir::System);
    for (const QString &node : nodes) {
        // The device's driver link names the kernel module behind the node.
        const QString link = QStringLiteral("/sys/class/drm/%1/device/driver").arg(node);
        const QString target = QFileInfo(link).symLinkTarget();
        found.renderNodeDrivers.append(target.isEmpty() ? QByteArray() : QFileInfo(target).fileName().toUtf8());
    }
    found.nvidiaDevice = QFileInfo::exists(QStringLiteral("/dev/nvidia0"));
    return found;
}

Path decide(const Probe &found)
{
    const QByteArray choice = found.userChoice.trimmed().toLower();
    if (choice == "hardware")
        return Path::Hardware;
    if (choice == "software")
        return Path::Software;
    // The user told Mesa to draw in software: the GL it gives is no GPU.
    if (mesaTrue(found.alwaysSoftware))
        return Path::Software;
    static const QList<QByteArray> softwareGallium = {"llvmpipe", "softpipe", "swr"};
    if (softwareGallium.contains(found.galliumDriver.trimmed().toLower()))
        return Path::Software;
    static const QList<QByteArray> softwareLoaders = {"swrast", "kms_swrast", "llvmpipe", "softpipe"};
    if (softwareLoaders.contains(found.loaderOverride.trimmed().toLower()))
        return Path::Software;
    if (found.nvidiaDevice)
        return Path::Hardware;
    for (const QByteArray &driver : found.renderNodeDrivers)
        if (drawsInHardware(driver.trimmed()))
            return Path::Hardware;
    return Path::Software;
}

void applyBeforeApplication()
{
    applied = decide(probe());
    if (applied == Path::Hardware) {
        // Qt WebEngine shares its GL context with the widgets.
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
        return;
    }
    // No GL in the frame at all (loading it alone costs tens of megabytes),
    // Qt WebEngine's views on Qt Quick's software scene graph, and Chromium
    // without a GPU process. A user's own setting stands.
    setUnlessSet("QT_XCB_GL_INTEGRATION", "none");
    setUnlessSet("QT_QUICK_BACKEND", "software");
    // Widgets flushed through GL (which a Vexel on the GL path sets for
    // itself, and its children inherit) find no GL here: windows stay blank.
    qunsetenv("QT_WIDGETS_RHI");
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.split(' ').contains("--disable-gpu")) {
        flags = (flags.trimmed() + " --disable-gpu").trimmed();
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
    }
}

Path current()
{
    return applied;
}

}  // namespace rendering
