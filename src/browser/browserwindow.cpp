#include "browserwindow.h"

#include "app/errors.h"
#include "app/findbar.h"
#include "app/mainform.h"
#include "enginecontrol.h"

#include <QCloseEvent>
#include <QLayout>
#include <QLineEdit>
#include <QMdiArea>
#include <QProgressBar>
#include <QTimer>
#include <QToolButton>

TBrowserWindow::TBrowserWindow(TMainForm *frame, const QString &classId, const QString &name)
    : QMdiSubWindow(nullptr), frame_(frame)
{
    setObjectName(name);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(frame_->ImageList1.value(12));
    // The control is made first; a class that cannot be created leaves no
    // window behind (the caller deletes this half-made one).
    control_ = engines::create(classId, this);
    control_->setObjectName(name == QLatin1String("frm_IE") ? QStringLiteral("TWeb_IE")
                                                             : QStringLiteral("TWeb_MZ"));
    setWidget(control_);
    // What a browser window does beyond the frame's commands.
    connect(control_, &EngineControl::StatusMessage, this, [this](const QString &text) {
        if (isActiveInFrame())
            frame_->StatusBar1->setPanelText(text);
    });
    connect(control_, &EngineControl::CloseRequested, this, [this] {
        closeAgreed_ = true;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    });
    connect(control_, &EngineControl::FindRequested, this, guarded([this] {
        if (auto *bar = frame_->findChild<TFindBar *>())
            bar->openBar();
    }));
    connect(control_, &EngineControl::ZoomRequested, this, guarded([this](int step) {
        control_->SetZoomFactor(TFindBar::nextZoom(control_->ZoomFactor(), step));
    }));
    connect(control_, &EngineControl::OtherEngineRequested, this,
            guarded([this] { frame_->OpenInOtherEngine(this); }));
    // Cover the frame's default child size, as a freshly placed child would.
    const QSize area = frame_->MDIClient->viewport()->size();
    resize(qMax(320, area.width() * 3 / 4), qMax(240, area.height() * 3 / 4));
}

TBrowserWindow::~TBrowserWindow() = default;

bool TBrowserWindow::isActiveInFrame() const
{
    return frame_ && frame_->MDIClient->currentSubWindow() == this;
}

void TBrowserWindow::FormCreate()
{
    FormResize();
    BackEnabled = frame_->BackCtrl->isEnabled();
    ForwardEnabled = frame_->FrwrdCtrl->isEnabled();
    StopEnabled = frame_->StopCtrl->isEnabled();
}

void TBrowserWindow::FormActivate()
{
    frame_->txtAddress->setText(control_->LocationURL());
    frame_->ProgressBar1->setValue(qBound(0, ShownProgress, 100));
    frame_->StatusBar1->setPanelText(LastStatusText);
    frame_->BackCtrl->setEnabled(BackEnabled);
    frame_->FrwrdCtrl->setEnabled(ForwardEnabled);
    frame_->StopCtrl->setEnabled(StopEnabled);
    frame_->ReLoadCtrl->setEnabled(ReloadEnabled);
}

void TBrowserWindow::FormClose()
{
    // A window closing in the background leaves the active window's display.
    if (!isActiveInFrame() && frame_->MDIClient->currentSubWindow())
        return;
    frame_->ProgressBar1->setValue(0);
    frame_->txtAddress->clear();
    frame_->StatusBar1->setPanelText(QString());
    frame_->ReLoadCtrl->setEnabled(false);
}

void TBrowserWindow::FormResize()
{
    // The control fills the client area inside the child's real frame.
    if (control_ && layout())
        layout()->activate();
}

void TBrowserWindow::closeEvent(QCloseEvent *event)
{
    // The page may ask first (beforeunload); its answer closes the window.
    // A second close while it is being asked closes it anyway, so a page
    // that never answers cannot keep its window open.
    if (!closeAgreed_ && !closeAsked_) {
        bool willAnswer = false;
        runGuarded([&] { willAnswer = control_->RequestClose(); });
        if (willAnswer) {
            closeAsked_ = true;
            // A page that said "stay" is asked again at a later close.
            QTimer::singleShot(3000, this, [this] { closeAsked_ = false; });
            event->ignore();
            return;
        }
    }
    runGuarded([this] { FormClose(); });
    QMdiSubWindow::closeEvent(event);
}

void TBrowserWindow::resizeEvent(QResizeEvent *event)
{
    QMdiSubWindow::resizeEvent(event);
    runGuarded([this] { FormResize(); });
}

void TBrowserWindow::statusTextChanged(const QString &text)
{
    if (isActiveInFrame())
        frame_->StatusBar1->setPanelText(text);
    LastStatusText = text;
}

void TBrowserWindow::showProgress(int position)
{
    ShownProgress = qBound(0, position, 100);
    if (isActiveInFrame())
        frame_->ProgressBar1->setValue(ShownProgress);
}

void TBrowserWindow::commandStateChanged(int command, bool enable)
{
    // The states go into the window whose engine raised the change.
    if (command == 1)
        ForwardEnabled = enable;
    else if (command == 2)
        BackEnabled = enable;
    ReloadEnabled = true;
    if (!isActiveInFrame())
        return;
    if (command == 1)
        frame_->FrwrdCtrl->setEnabled(enable);
    else if (command == 2)
        frame_->BackCtrl->setEnabled(enable);
    frame_->ReLoadCtrl->setEnabled(true);
    BackEnabled = frame_->BackCtrl->isEnabled();
    ForwardEnabled = frame_->FrwrdCtrl->isEnabled();
    StopEnabled = frame_->StopCtrl->isEnabled();
    ReloadEnabled = frame_->ReLoadCtrl->isEnabled();
}

void TBrowserWindow::titleChanged(const QString &text)
{
    setWindowTitle(text);
    if (isActiveInFrame())
        frame_->txtAddress->setText(control_->LocationURL());
}

void TBrowserWindow::newWindowRequested(const QString &caption, const QString &address, bool &cancel)
{
    // The address the page asked for; the status text only when the engine
    // gives none.
    frame_->OpenBrowserWindow(caption, address.isEmpty() ? LastStatusText : address);
    cancel = true;
}
