// The one-line condition bar above a list form's head grid: an item box filtered by pinyin
// initials (a field or a saved condition), an operator box and a value box. Every condition run
// from it is remembered as the saved condition field + operator.
#pragma once

#include <QComboBox>
#include <QFrame>
#include <QSet>
#include <QStringList>
#include <functional>
#include <memory>

class QLabel;
class TQryCatalog;
class TQrySaveList;

// The item box: an editable combo box that reports its drop-down before the list opens.
class TQryItemComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TQryItemComboBox(QWidget* parent = nullptr) : QComboBox(parent) {}
    std::function<void()> onDropDown;
    void showPopup() override;
};

// What GetQryCondition did with the owner's texts.
enum class TQryConditionOutcome {
    Built,          // built from the item (a field or a saved condition)
    NumberRejected, // the value is no number for an "I"/"F" field: texts unchanged
    NoItem          // no item: "<全部>" after the box was emptied, else the texts are kept
};

class TframeQryShow : public QFrame {
    Q_OBJECT
public:
    explicit TframeQryShow(QWidget* parent = nullptr);
    ~TframeQryShow() override;

    QLabel* lblItem;
    TQryItemComboBox* cmbItem;
    QLabel* lblOperator;
    QComboBox* cmbOperator;
    QLabel* lblValue;
    QComboBox* cmbValue;
    QFrame* bvlLine;
    // The full item list the item box is filtered from.
    QStringList lstItem;

    // --- operations of the owner ------------------------------------------------------------
    void SetQryType(const QString& qryType);
    QString QryType() const { return m_qryType; }
    // Saved lines and item list anew; the item box shows the hint, operator and value are
    // cleared.
    void LoadQryItems();
    // The frame's condition into the owner's WHERE text and description.
    TQryConditionOutcome GetQryCondition(QString& qryWhere, QString& qryDesc);
    void FreeQryData();

    bool Ready() const { return m_ready; }
    bool Cleared() const { return m_cleared; }

    // --- handlers (each runs inside the guard) ---------------------------------------------
    void cmbItemChange(QObject* sender);
    void cmbItemDropDown(QObject* sender);
    void cmbItemEnter(QObject* sender);
    void cmbItemExit(QObject* sender);
    // Returns true when the key was used (Enter takes the first entry).
    bool cmbItemKeyDown(QObject* sender, int key);
    void cmbOperatorEnter(QObject* sender);
    void cmbValueEnter(QObject* sender);
    void cmbValueExit(QObject* sender);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Runs fn with the item box's change handler silenced: texts the frame sets itself are no
    // user's change.
    void quietly(const std::function<void()>& fn);
    void setWindowTextColour();
    QString fieldOfItem() const;

    QString m_qryType;
    bool m_ready = false;
    bool m_cleared = false;
    int m_quiet = 0;
    QSet<QObject*> m_inside; // boxes the focus is in (or will come back to)
    std::unique_ptr<TQrySaveList> m_saves;
    std::unique_ptr<TQryCatalog> m_catalog;
};
