// SPDX-License-Identifier: GPL-3.0-or-later
// Which drawing path a machine gets: a GPU's, or software all through.

#include "core/renderpath.h"
#include "testsupport.h"

using rendering::Path;

class TestRenderPath : public QObject {
    Q_OBJECT
private slots:
    void decide_data();
    void decide();
    void softwareKeepsUsersSettings();
};

void TestRenderPath::decide_data()
{
    QTest::addColumn<QByteArray>("choice");
    QTest::addColumn<QByteArray>("alwaysSoftware");
    QTest::addColumn<QByteArray>("gallium");
    QTest::addColumn<QByteArray>("loader");
    QTest::addColumn<QByteArray>("nodes");  // drivers of the render nodes, comma-separated
    QTest::addColumn<bool>("nvidia");
    QTest::addColumn<Path>("path");
    const Path hw = Path::Hardware, sw = Path::Software;
    QTest::newRow("no device") << QByteArray() << QByteArray() << QByteArray() << QByteArray() << QByteArray() << false << sw;
    QTest::newRow("intel") << QByteArray() << QByteArray() << QByteArray() << QByteArray() << QByteArray("i915") << false << hw;
    QTest::newRow("vgem only") << QByteArray() << QByteArray() << QByteArray() << QByteArray() << QByteArray("vgem") << false << sw;
    QTest::newRow("virtual cards") << QByteArray() << QByteArray() << QByteArray() << QByteArray() << QByteArray("vkms,virtio_gpu") << false << sw;
    QTest::newRow("gpu after vgem") << QByteArray() << QByteArray() << QByteArray() << QByteArray() << QByteArray("vgem,amdgpu") << false << hw;
    QTest::newRow("driver unknown") << QByteArray() << QByteArray() << QByteArray() << QByteArray() << QByteArray(",") << false << sw;
    QTest::newRow("nvidia, no node") << QByteArray() << QByteArray() << QByteArray() << QByteArray() << QByteArray() << true << hw;
    QTest::newRow("user: hardware") << QByteArray(" Hardware ") << QByteArray("1") << QByteArray() << QByteArray() << QByteArray() << false << hw;
    QTest::newRow("user: software") << QByteArray("software") << QByteArray() << QByteArray() << QByteArray() << QByteArray("i915") << true << sw;
    QTest::newRow("user: other word") << QByteArray("yes") << QByteArray() << QByteArray() << QByteArray() << QByteArray("i915") << false << hw;
    QTest::newRow("mesa told software") << QByteArray() << QByteArray("true") << QByteArray() << QByteArray() << QByteArray("i915") << false << sw;
    QTest::newRow("mesa told not") << QByteArray() << QByteArray("0") << QByteArray() << QByteArray() << QByteArray("i915") << false << hw;
    QTest::newRow("llvmpipe") << QByteArray() << QByteArray() << QByteArray("llvmpipe") << QByteArray() << QByteArray("amdgpu") << false << sw;
    QTest::newRow("radeonsi") << QByteArray() << QByteArray() << QByteArray("radeonsi") << QByteArray() << QByteArray("amdgpu") << false << hw;
    QTest::newRow("loader swrast") << QByteArray() << QByteArray() << QByteArray() << QByteArray("kms_swrast") << QByteArray("i915") << false << sw;
}

void TestRenderPath::decide()
{
    QFETCH(QByteArray, choice);
    QFETCH(QByteArray, alwaysSoftware);
    QFETCH(QByteArray, gallium);
    QFETCH(QByteArray, loader);
    QFETCH(QByteArray, nodes);
    QFETCH(bool, nvidia);
    QFETCH(Path, path);
    rendering::Probe found;
    found.userChoice = choice;
    found.alwaysSoftware = alwaysSoftware;
    found.galliumDriver = gallium;
    found.loaderOverride = loader;
    if (!nodes.isEmpty())
        found.renderNodeDrivers = nodes.split(',');
    found.nvidiaDevice = nvidia;
    QCOMPARE(rendering::decide(found), path);
}

// Applied before the application (main below): the user's own settings
// stand, Chromium's flags gain the one they lack, once, and a GL flush of
// the widgets inherited from a Vexel on the GL path goes.
void TestRenderPath::softwareKeepsUsersSettings()
{
    QCOMPARE(rendering::current(), Path::Software);
    QCOMPARE(qgetenv("QT_XCB_GL_INTEGRATION"), QByteArray("xcb_egl"));
    QCOMPARE(qgetenv("QT_QUICK_BACKEND"), QByteArray("software"));
    QCOMPARE(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS"), QByteArray("--lang=ja --disable-gpu"));
    QVERIFY(!qEnvironmentVariableIsSet("QT_WIDGETS_RHI"));
}

int main(int argc, char *argv[])
{
    TestRenderPath test;
    return vexelTestMain(argc, argv, &test, [] {
        qputenv("VEXEL_GL", "software");
        qputenv("QT_XCB_GL_INTEGRATION", "xcb_egl");
        qunsetenv("QT_QUICK_BACKEND");
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--lang=ja");
        qputenv("QT_WIDGETS_RHI", "1");
        rendering::applyBeforeApplication();
        // Applying twice adds nothing twice.
        rendering::applyBeforeApplication();
    });
}

#include "test_renderpath.moc"
