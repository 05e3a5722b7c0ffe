#include "host/app/MainWindow.h"

#include "host/app/SessionDialog.h"
#include "host/app/ShellScript.h"
#include "host/include/Appres.h"
#include "host/include/PubProcDll.h"
#include "module/EntryPoints.h"
#include "platform/db/Db.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Prompter.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <dlfcn.h>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

QPointer<MainWindow>& theWindow()
{
    static QPointer<MainWindow> w;
    return w;
}

void box(const QString& text, int icon, QWidget* parent)
{
    promptMessage(UGetProductName_CH(), text, MsgFlags::OK | icon, parent);
}

const QString kTryoutMng = u"frmTryoutMngShow"_s;
const QString kSpRpt = u"frmSpRptShow"_s;

// The signature of a form's LinkFuncProc: LinkFunCode, FunName, DllName, DllFun, FormType, extra.
using LinkProc = void (*)(const QString&, const QString&, const QString&, const QString&, const QString&,
                          const QString&);

} // namespace

void* tryoutModule()
{
    static void* handle = nullptr;
    if (!handle) {
        const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(u"libtryout.so"_s);
        handle = dlopen(QFile::encodeName(beside).constData(), RTLD_NOW | RTLD_GLOBAL);
        if (!handle) handle = dlopen("libtryout.so", RTLD_NOW | RTLD_GLOBAL);
    }
    return handle;
}

bool isTryoutModule(const QString& dllName)
{
    QString base = QFileInfo(dllName.trimmed()).completeBaseName().toLower();
    if (base.startsWith(u"lib")) base.remove(0, 3);
    return base == u"tryout";
}

MainWindow* MainWindow::instance() { return theWindow(); }

MainWindow::MainWindow(const QString& databaseText, QWidget* parent) : QMainWindow(parent), m_database(databaseText)
{
    setObjectName(u"frmMain"_s);
    theWindow() = this;

    // Until a function is open the work area shows the product.
    auto* welcome = new QWidget(this);
    welcome->setObjectName(u"pnlWelcome"_s);
    auto* layout = new QVBoxLayout(welcome);
    auto* title = new QLabel(UGetProductName_CH(), welcome);
    title->setObjectName(u"lblProduct"_s);
    QFont f = title->font();
    f.setPointSize(22);
    f.setBold(true);
    title->setFont(f);
    title->setAlignment(Qt::AlignCenter);
    auto* hint = new QLabel(u"请从菜单“试用品管理”中选择功能。"_s, welcome);
    hint->setAlignment(Qt::AlignCenter);
    layout->addStretch(1);
    layout->addWidget(title);
    layout->addWidget(hint);
    layout->addStretch(2);

    m_area = new QMdiArea(this);
    m_area->setObjectName(u"mdiForms"_s);
    m_area->setViewMode(QMdiArea::TabbedView);
    m_area->setTabsClosable(true);
    m_area->setTabsMovable(true);
    m_area->setDocumentMode(true);

    m_centre = new QStackedWidget(this);
    m_centre->addWidget(welcome);
    m_centre->addWidget(m_area);
    setCentralWidget(m_centre);

    loadFunctionCodes();
    buildMenu();
    buildStatusBar();
    updateSessionTexts();
    resize(1280, 800);
}

MainWindow::~MainWindow()
{
    // The forms run their close handlers (and store their settings) while the shell is whole.
    closeForms();
}

void MainWindow::loadFunctionCodes()
{
    TADOConnection* conn = qorHostConnection();
    if (!conn) return;
    try {
        for (const QString& entry : {kTryoutMng, kSpRpt}) {
            TADOQuery q(conn);
            q.SQL << u"select FunCode, DllName from xtfunction where DllFun = :DllFun order by FunCode"_s;
            q.Parameters.ParamByName(u"DllFun"_s).Value = entry;
            q.Open();
            for (; !q.Eof(); q.Next()) {
                if (!isTryoutModule(q.Field(1).AsString())) continue;
                m_funCodes.append({entry, q.Field(0).AsString().trimmed()});
                break;
            }
        }
    } catch (...) {
        // The forms work without a function code (they then grant nothing).
        shellErr(u"cannot read the function register: "_s + currentExceptionMessage());
    }
}

QString MainWindow::functionCode(const QString& entryName) const
{
    for (const auto& [entry, code] : m_funCodes)
        if (entry == entryName) return code;
    return {};
}

void MainWindow::buildMenu()
{
    QMenu* sys = menuBar()->addMenu(u"系统(&S)"_s);
    QAction* sw = sys->addAction(u"切换用户/站点(&U)..."_s);
    sw->setObjectName(u"actSwitchSession"_s);
    connect(sw, &QAction::triggered, this, [this] { switchSession(); });
    sys->addSeparator();
    QAction* quit = sys->addAction(u"退出(&X)"_s);
    quit->setObjectName(u"actExit"_s);
    connect(quit, &QAction::triggered, this, [this] { guard([this] { close(); }, this); });

    QMenu* tryout = menuBar()->addMenu(u"试用品管理(&T)"_s);
    QAction* mng = tryout->addAction(u"试用品试用"_s);
    mng->setObjectName(u"actTryoutMng"_s);
    connect(mng, &QAction::triggered, this, [this] { openFunction(kTryoutMng); });
    QAction* rpt = tryout->addAction(u"试用品统计报表"_s);
    rpt->setObjectName(u"actSpRpt"_s);
    connect(rpt, &QAction::triggered, this, [this] { openFunction(kSpRpt); });

    QMenu* win = menuBar()->addMenu(u"窗口(&W)"_s);
    QAction* next = win->addAction(u"下一个窗口(&N)"_s);
    next->setObjectName(u"actNextForm"_s);
    next->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab));
    connect(next, &QAction::triggered, m_area, &QMdiArea::activateNextSubWindow);
    QAction* closeAll = win->addAction(u"关闭所有窗口(&A)"_s);
    closeAll->setObjectName(u"actCloseForms"_s);
    connect(closeAll, &QAction::triggered, this, [this] { guard([this] { closeForms(); }, this); });

    QMenu* help = menuBar()->addMenu(u"帮助(&H)"_s);
    QAction* ab = help->addAction(u"关于(&A)"_s);
    ab->setObjectName(u"actAbout"_s);
    connect(ab, &QAction::triggered, this, [this] { guard([this] { about(); }, this); });

    QToolBar* bar = addToolBar(u"功能"_s);
    bar->setObjectName(u"tlbFunctions"_s);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bar->addAction(mng);
    bar->addAction(rpt);
    bar->addSeparator();
    bar->addAction(sw);
}

void MainWindow::buildStatusBar()
{
    auto add = [this](const QString& name, int stretch) {
        auto* l = new QLabel(this);
        l->setObjectName(name);
        l->setContentsMargins(6, 0, 6, 0);
        statusBar()->addPermanentWidget(l, stretch);
        return l;
    };
    m_lblUser = add(u"lblUser"_s, 0);
    m_lblStation = add(u"lblStation"_s, 0);
    m_lblShop = add(u"lblShop"_s, 0);
    add(u"lblDatabase"_s, 1)->setText(u"数据库: "_s + m_database);
}

void MainWindow::updateSessionTexts()
{
    const QorSession& s = qorSession();
    QString user = s.userCode;
    if (!s.userName.isEmpty()) user += u' ' + s.userName;
    const QString place = (s.isCenter ? u"总部 "_s : u"门店 "_s) + s.branchNo +
                          (s.shopName.isEmpty() ? QString() : u' ' + s.shopName);
    setWindowTitle(u"%1 - 用户 %2 - %3 - 工作站 %4"_s.arg(UGetProductName_CH(), user, place, s.stationId));
    m_lblUser->setText(u"用户: "_s + user);
    m_lblStation->setText(u"工作站: "_s + s.stationId);
    m_lblShop->setText(place);
}

void MainWindow::updateCentre() { m_centre->setCurrentIndex(m_area->subWindowList().isEmpty() ? 0 : 1); }

void MainWindow::about()
{
    box(UGetProductName_CH() + u"\n试用品管理模块\n数据库: "_s + m_database, MsgFlags::IconInfo, this);
}

QWidget* MainWindow::openFunction(const QString& entryName, const QString& funCode, const QString& param)
{
    QWidget* opened = nullptr;
    guard(
        [&] {
            void* module = tryoutModule();
            if (!module) {
                box(u"DLL文件打开失败，请查找！"_s, MsgFlags::IconError, this);
                return;
            }
            auto show = reinterpret_cast<FormShowProc>(dlsym(module, entryName.toLatin1().constData()));
            if (!show) {
                box(u"函数连接错误！"_s, MsgFlags::IconError, this);
                return;
            }
            QWidget* form = show(qApp, &MainWindow::formClosed);
            if (!form) {
                box(u"功能入口 %1 没有返回窗口。"_s.arg(entryName), MsgFlags::IconError, this);
                return;
            }
            // What the suite's host sets on a form before it is shown.
            const QString code = funCode.isEmpty() ? functionCode(entryName) : funCode;
            form->setProperty("FunCode", code);
            form->setProperty("LinkFuncProc", quintptr(static_cast<LinkProc>(&MainWindow::openLinkedFunction)));
            if (!param.isEmpty()) form->setProperty("PendingParam", param);
            embed(form);
            m_lastForm = form;
            opened = form;
        },
        this);
    return opened;
}

void MainWindow::embed(QWidget* form)
{
    auto* sub = new QMdiSubWindow;
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWidget(form);
    sub->setWindowTitle(form->windowTitle());
    if (!form->windowIcon().isNull()) sub->setWindowIcon(form->windowIcon());
    m_area->addSubWindow(sub);
    connect(sub, &QObject::destroyed, this, [this] { QTimer::singleShot(0, this, [this] { updateCentre(); }); });
    // A form that closes itself (its close action, a done()) takes its tab along; the form
    // itself is freed or kept as its close handler decided.
    if (auto* dlg = qobject_cast<QDialog*>(form)) {
        QPointer<QWidget> f(form);
        QPointer<QMdiSubWindow> s(sub);
        connect(dlg, &QDialog::finished, sub, [f, s] {
            QTimer::singleShot(0, s, [f, s] {
                if (!s) return;
                if (f && f->parentWidget() == s && !f->isVisible()) s->setWidget(nullptr);
                s->close();
            });
        });
    }
    updateCentre();
    sub->showMaximized();
    form->show();
    m_area->setActiveSubWindow(sub);
}

QWidget* MainWindow::activeForm() const
{
    QMdiSubWindow* sub = m_area->activeSubWindow();
    if (!sub) sub = m_area->currentSubWindow();
    if (sub && sub->widget()) return sub->widget();
    return m_lastForm && m_lastForm->isVisible() ? m_lastForm.data() : nullptr;
}

QList<QWidget*> MainWindow::forms() const
{
    QList<QWidget*> out;
    const QList<QMdiSubWindow*> subs = m_area->subWindowList();
    for (QMdiSubWindow* s : subs)
        if (s->widget() && s->isVisible()) out << s->widget();
    return out;
}

bool MainWindow::closeForms()
{
    bool allClosed = true;
    const QList<QMdiSubWindow*> subs = m_area->subWindowList();
    for (QMdiSubWindow* s : subs) {
        QPointer<QMdiSubWindow> p(s);
        if (p && p->isVisible() && !p->close()) allClosed = false;
    }
    updateCentre();
    return allClosed;
}

void MainWindow::switchSession()
{
    guard(
        [this] {
            TADOConnection* conn = qorHostConnection();
            if (!conn) return;
            auto dlg = std::make_unique<SessionDialog>(*conn, qorSession(), this);
            if (runModal(dlg.get()) != QDialog::Accepted) return;
            const QorSession chosen = dlg->session();
            dlg.reset();
            // The open forms read the session whenever they need it: they finish under the old one.
            if (!closeForms()) {
                box(u"有窗口未能关闭，用户和站点未切换。"_s, MsgFlags::IconWarning, this);
                return;
            }
            setQorSession(chosen);
            updateSessionTexts();
            statusBar()->showMessage(u"已切换到用户 %1"_s.arg(chosen.userCode), 5000);
        },
        this);
}

void MainWindow::closeEvent(QCloseEvent* e)
{
    if (!closeForms()) {
        e->ignore();
        return;
    }
    QMainWindow::closeEvent(e);
    if (e->isAccepted()) QCoreApplication::quit();
}

void MainWindow::formClosed(int tag)
{
    if (MainWindow* w = theWindow()) {
        w->m_closedTags << tag;
        w->statusBar()->showMessage(u"窗口已关闭（Tag %1）"_s.arg(tag), 5000);
    }
}

void MainWindow::openLinkedFunction(const QString& linkFunCode, const QString& funName, const QString& dllName,
                                    const QString& dllFun, const QString&, const QString& extra)
{
    guard([&] {
        MainWindow* w = theWindow();
        if (!w) return;
        void* module = tryoutModule();
        const bool ours = module && isTryoutModule(dllName) && !dllFun.isEmpty() &&
                          dlsym(module, dllFun.toLatin1().constData());
        if (!ours) {
            auto orNone = [](const QString& t) { return t.trimmed().isEmpty() ? u"（无）"_s : t; };
            box(u"“%1”（%2）不在本模块中：需要打开 %3 的入口 %4。"_s.arg(funName, linkFunCode, orNone(dllName),
                                                                     orNone(dllFun)),
                MsgFlags::IconInfo, w);
            return;
        }
        // The detail panel's click handler returns before the new form opens.
        QTimer::singleShot(0, w, [w, dllFun, linkFunCode, extra] { w->openFunction(dllFun, linkFunCode, extra); });
    });
}
