// The suite shell's main window: the suite's menu with the try-out functions, which it opens
// through the module's exported entry points, and the session in the status bar.
#pragma once

#include <QMainWindow>
#include <QPointer>

class QLabel;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(const QString& databaseText, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Opens a function of the module by the name of its entry point; failures are shown.
    void openFunction(const char* entryName);
    // The form the last function opened (null once it closed).
    QWidget* lastForm() const { return m_lastForm; }
    // The host's close notifier: a form of the module closed.
    static void formClosed(int tag);

protected:
    // Closing the main window ends the session; the module's forms close after it.
    void closeEvent(QCloseEvent* e) override;

private:
    void buildMenu();
    void buildStatusBar(const QString& databaseText);
    void about();
    QString m_database;
    QPointer<QWidget> m_lastForm;
};

// The module library: loaded beside the program first, then from the search path; null when
// it cannot be loaded.
void* tryoutModule();
