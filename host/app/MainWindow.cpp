#include "host/app/MainWindow.h"

#include "host/include/Appres.h"
#include "host/include/PubProcDll.h"
#include "module/EntryPoints.h"
#include "platform/ui/Guard.h"
#include "platform/ui/Prompter.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include <dlfcn.h>

namespace {

QPointer<MainWindow>& mainWindow()
{
    static QPointer<MainWindow> w;
    return w;
}

void errorBox(const QString& text, QWidget* parent)
{
    promptMessage(UGetProductName_CH(), text, MsgFlags::OK | MsgFlags::IconError, parent);
}

const char kTryoutMng[] = "frmTryoutMngShow";
const char kSpRpt[] = "frmSpRptShow";

} // namespace

void* tryoutModule()
{
    static void* handle = nullptr;
    if (!handle) {
        const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("libtryout.so"));
        handle = dlopen(QFile::encodeName(beside).constData(), RTLD_NOW | RTLD_GLOBAL);
        if (!handle) handle = dlopen("libtryout.so", RTLD_NOW | RTLD_GLOBAL);
    }
    return handle;
}

MainWindow::MainWindow(const QString& databaseText, QWidget* parent) : QMainWindow(parent), m_database(databaseText)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(UGetProductName_CH());
    mainWindow() = this;

    auto* centre = new QWidget(this);
    auto* layout = new QVBoxLayout(centre);
    auto* title = new QLabel(UGetProductName_CH(), centre);
    title->setObjectName(QStringLiteral("lblProduct"));
    QFont f = title->font();
    f.setPointSize(22);
    f.setBold(true);
    title->setFont(f);
    title->setAlignment(Qt::AlignCenter);
    auto* hint = new QLabel(QStringLiteral("请从菜单“试用品管理”中选择功能。"), centre);
    hint->setAlignment(Qt::AlignCenter);
    layout->addStretch(1);
    layout->addWidget(title);
    layout->addWidget(hint);
    layout->addStretch(2);
    setCentralWidget(centre);

    buildMenu();
    buildStatusBar(databaseText);
    resize(1024, 700);
}

MainWindow::~MainWindow() = default;

void MainWindow::buildMenu()
{
    QMenu* sys = menuBar()->addMenu(QStringLiteral("系统(&S)"));
    QAction* quit = sys->addAction(QStringLiteral("退出(&X)"));
    quit->setObjectName(QStringLiteral("actExit"));
    connect(quit, &QAction::triggered, this, [this] { guard([this] { close(); }, this); });

    QMenu* tryout = menuBar()->addMenu(QStringLiteral("试用品管理(&T)"));
    QAction* mng = tryout->addAction(QStringLiteral("试用品试用"));
    mng->setObjectName(QStringLiteral("actTryoutMng"));
    connect(mng, &QAction::triggered, this, [this] { openFunction(kTryoutMng); });
    QAction* rpt = tryout->addAction(QStringLiteral("试用品统计报表"));
    rpt->setObjectName(QStringLiteral("actSpRpt"));
    connect(rpt, &QAction::triggered, this, [this] { openFunction(kSpRpt); });

    QMenu* help = menuBar()->addMenu(QStringLiteral("帮助(&H)"));
    QAction* ab = help->addAction(QStringLiteral("关于(&A)"));
    ab->setObjectName(QStringLiteral("actAbout"));
    connect(ab, &QAction::triggered, this, [this] { guard([this] { about(); }, this); });

    QToolBar* bar = addToolBar(QStringLiteral("功能"));
    bar->setObjectName(QStringLiteral("tlbFunctions"));
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bar->addAction(mng);
    bar->addAction(rpt);
}

void MainWindow::buildStatusBar(const QString& databaseText)
{
    const QorSession& s = qorSession();
    auto add = [this](const QString& name, const QString& text, int stretch) {
        auto* l = new QLabel(text, this);
        l->setObjectName(name);
        l->setContentsMargins(6, 0, 6, 0);
        statusBar()->addPermanentWidget(l, stretch);
    };
    QString user = s.userCode;
    if (!s.userName.isEmpty()) user += QLatin1Char('-') + s.userName;
    add(QStringLiteral("lblUser"), QStringLiteral("用户: ") + user, 0);
    add(QStringLiteral("lblStation"), QStringLiteral("站点: ") + s.stationId, 0);
    add(QStringLiteral("lblShop"),
        (s.isCenter ? QStringLiteral("总部: ") : QStringLiteral("门店: ")) + s.branchNo + QLatin1Char('-') + s.shopName, 0);
    add(QStringLiteral("lblDatabase"), QStringLiteral("数据库: ") + databaseText, 1);
}

void MainWindow::about()
{
    promptMessage(UGetProductName_CH(),
                  UGetProductName_CH() + QStringLiteral("\n试用品管理模块\n数据库: ") + m_database,
                  MsgFlags::OK | MsgFlags::IconInfo, this);
}

void MainWindow::openFunction(const char* entryName)
{
    guard(
        [&] {
            void* module = tryoutModule();
            if (!module) {
                errorBox(QStringLiteral("DLL文件打开失败，请查找！"), this);
                return;
            }
            auto show = reinterpret_cast<FormShowProc>(dlsym(module, entryName));
            if (!show) {
                errorBox(QStringLiteral("函数连接错误！"), this);
                return;
            }
            QWidget* form = show(qApp, &MainWindow::formClosed);
            if (!form) return;
            m_lastForm = form;
            form->showMaximized();
            form->raise();
            form->activateWindow();
        },
        this);
}

void MainWindow::closeEvent(QCloseEvent* e)
{
    QMainWindow::closeEvent(e);
    if (e->isAccepted()) QCoreApplication::quit();
}

void MainWindow::formClosed(int tag)
{
    if (MainWindow* w = mainWindow())
        w->statusBar()->showMessage(QStringLiteral("窗口已关闭（Tag %1）").arg(tag), 5000);
}
