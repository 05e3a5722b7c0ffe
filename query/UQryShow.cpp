#include "query/UQryShow.h"

#include "module/MISPub.h"
#include "platform/ui/Guard.h"
#include "query/PubQuery.h"
#include "query/PyCode.h"

#include <QApplication>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

void TQryItemComboBox::showPopup()
{
    if (onDropDown) onDropDown();
    QComboBox::showPopup();
}

TframeQryShow::TframeQryShow(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("frameQryShow"));
    setFixedHeight(30);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    lblItem = new QLabel(QStringLiteral("项目："), this);
    lblItem->setObjectName(QStringLiteral("lblItem"));
    cmbItem = new TQryItemComboBox(this);
    cmbItem->setObjectName(QStringLiteral("cmbItem"));
    cmbItem->setEditable(true);
    cmbItem->setCompleter(nullptr);
    cmbItem->setInsertPolicy(QComboBox::NoInsert);
    cmbItem->setMinimumWidth(160);
    lblOperator = new QLabel(QStringLiteral("运算符："), this);
    lblOperator->setObjectName(QStringLiteral("lblOperator"));
    cmbOperator = new QComboBox(this);
    cmbOperator->setObjectName(QStringLiteral("cmbOperator"));
    cmbOperator->setMaxVisibleItems(10);
    cmbOperator->addItems(QryWords::textOperators());
    cmbOperator->setCurrentIndex(-1);
    cmbOperator->setMinimumWidth(90);
    lblValue = new QLabel(QStringLiteral("设定值："), this);
    lblValue->setObjectName(QStringLiteral("lblValue"));
    cmbValue = new QComboBox(this);
    cmbValue->setObjectName(QStringLiteral("cmbValue"));
    cmbValue->setEditable(true);
    cmbValue->setInsertPolicy(QComboBox::NoInsert);
    cmbValue->setCompleter(nullptr);
    cmbValue->setMinimumWidth(140);
    bvlLine = new QFrame(this);
    bvlLine->setObjectName(QStringLiteral("bvlLine"));
    bvlLine->setFrameShape(QFrame::HLine);
    bvlLine->setFrameShadow(QFrame::Sunken);

    auto* row = new QHBoxLayout;
    row->setContentsMargins(4, 2, 4, 0);
    row->setSpacing(4);
    row->addWidget(lblItem);
    row->addWidget(cmbItem);
    row->addSpacing(8);
    row->addWidget(lblOperator);
    row->addWidget(cmbOperator);
    row->addSpacing(8);
    row->addWidget(lblValue);
    row->addWidget(cmbValue);
    row->addStretch(1);
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(0);
    col->addLayout(row, 1);
    col->addWidget(bvlLine);

    quietly([this] { ShowQryItemHint(cmbItem); });

    connect(cmbItem, &QComboBox::editTextChanged, this, [this] {
        if (m_quiet == 0) guard([this] { cmbItemChange(cmbItem); }, window());
    });
    cmbItem->onDropDown = [this] { guard([this] { cmbItemDropDown(cmbItem); }, window()); };
    cmbItem->installEventFilter(this);
    cmbOperator->installEventFilter(this);
    cmbValue->installEventFilter(this);
    SetOnExit(cmbItem, [this] { cmbItemExit(cmbItem); });
    SetOnExit(cmbValue, [this] { cmbValueExit(cmbValue); });
}

TframeQryShow::~TframeQryShow() = default;

void TframeQryShow::quietly(const std::function<void()>& fn)
{
    ++m_quiet;
    struct Done {
        int& n;
        ~Done() { --n; }
    } done{m_quiet};
    fn();
}

bool TframeQryShow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        // A box is entered when the focus arrives from another control; the window coming
        // back to the front or a popup closing hands it back to a box that never left.
        auto* box = qobject_cast<QComboBox*>(watched);
        if (box && !m_inside.contains(box)) {
            m_inside.insert(box);
            if (box == cmbItem) guard([this] { cmbItemEnter(cmbItem); }, window());
            else if (box == cmbOperator) guard([this] { cmbOperatorEnter(cmbOperator); }, window());
            else if (box == cmbValue) guard([this] { cmbValueEnter(cmbValue); }, window());
        }
    } else if (event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            m_inside.remove(qobject_cast<QComboBox*>(watched));
    } else if (event->type() == QEvent::KeyPress && watched == cmbItem) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        bool used = false;
        guard([&] { used = cmbItemKeyDown(cmbItem, key); }, window());
        if (used) return true;
    }
    return QFrame::eventFilter(watched, event);
}

// --- operations ---------------------------------------------------------------------------------

void TframeQryShow::SetQryType(const QString& qryType)
{
    m_qryType = qryType;
    m_ready = true;
}

void TframeQryShow::LoadQryItems()
{
    LoadQrySaves(m_qryType, m_saves);
    m_ready = false;
    struct Ready {
        TframeQryShow* f;
        ~Ready() { f->m_ready = true; }
    } ready{this};
    quietly([this] { FillQryItems(m_qryType, lstItem, cmbItem, cmbOperator, cmbValue); });
    // The hint a reload shows is no emptying by the user: a condition set through the query
    // dialog survives the next refresh.
    m_cleared = false;
}

TQryConditionOutcome TframeQryShow::GetQryCondition(QString& qryWhere, QString& qryDesc)
{
    const QString item = cmbItem->currentText();
    if (item != QryWords::ItemHint && !item.trimmed().isEmpty()) {
        if (!CheckQryNumber(m_qryType, item, cmbValue, m_catalog))
            return TQryConditionOutcome::NumberRejected;
        const QString op = cmbOperator->currentText();
        const QString value = cmbValue->currentText();
        RememberQryCondition(m_qryType, item, op, value);
        BuildQryFromItem(m_qryType, item, op, value, m_catalog, qryDesc, qryWhere);
        return TQryConditionOutcome::Built;
    }
    if (qryWhere.isEmpty() || m_cleared) {
        qryDesc = QryWords::All;
        qryWhere.clear();
    }
    return TQryConditionOutcome::NoItem;
}

void TframeQryShow::FreeQryData()
{
    m_saves.reset();
    m_catalog.reset();
}

// --- handlers -----------------------------------------------------------------------------------

void TframeQryShow::setWindowTextColour()
{
    QPalette p = cmbItem->palette();
    p.setColor(QPalette::Text, QApplication::palette(cmbItem).color(QPalette::WindowText));
    cmbItem->setPalette(p);
}

QString TframeQryShow::fieldOfItem() const
{
    return GetSavedFirstFldName(m_qryType, cmbItem->currentText());
}

void TframeQryShow::cmbItemChange(QObject*)
{
    quietly([this] { ApplyInitialsFilter(cmbItem, lstItem); });
    quietly([this] { ApplyQryItem(m_saves.get(), cmbItem->currentText(), cmbOperator, cmbValue); });
    const QString text = cmbItem->currentText();
    m_cleared = m_ready && (text == QryWords::ItemHint || text.isEmpty());
}

void TframeQryShow::cmbItemDropDown(QObject*)
{
    if (cmbItem->count() == 0 && m_ready) LoadQryItems();
}

void TframeQryShow::cmbItemEnter(QObject*)
{
    if (cmbItem->count() == 0 && m_ready) LoadQryItems();
    if (cmbItem->currentText() == QryWords::ItemHint) {
        quietly([this] { cmbItem->setEditText(QString()); });
        setWindowTextColour();
    }
}

void TframeQryShow::cmbItemExit(QObject*)
{
    const QString text = cmbItem->currentText();
    if (!text.isEmpty() && text != QryWords::ItemHint) {
        setWindowTextColour();
        if (cmbItem->lineEdit()) cmbItem->lineEdit()->deselect();
    } else {
        quietly([this] { ShowQryItemHint(cmbItem); });
    }
    quietly([this] { ApplyQryItem(m_saves.get(), cmbItem->currentText(), cmbOperator, cmbValue); });
}

bool TframeQryShow::cmbItemKeyDown(QObject*, int key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
    // Taking the first entry is the user's choice: it runs the change handler.
    return InitialsEnterKey(cmbItem, lstItem);
}

void TframeQryShow::cmbOperatorEnter(QObject*)
{
    const QString remembered = cmbOperator->currentText();
    QStringList ops;
    FillQryOperators(m_qryType, fieldOfItem(), ops, m_catalog);
    cmbOperator->clear();
    cmbOperator->addItems(ops);
    cmbOperator->setCurrentIndex(remembered.isEmpty() ? -1 : cmbOperator->findText(remembered));
}

void TframeQryShow::cmbValueEnter(QObject*)
{
    QStringList values;
    FillQryValues(m_qryType, fieldOfItem(), values, m_catalog);
    const QString text = cmbValue->currentText();
    cmbValue->clear();
    cmbValue->addItems(values);
    cmbValue->setEditText(text);
}

void TframeQryShow::cmbValueExit(QObject*)
{
    if (!cmbValue->currentText().isEmpty())
        CheckQryNumber(m_qryType, cmbItem->currentText(), cmbValue, m_catalog);
}
