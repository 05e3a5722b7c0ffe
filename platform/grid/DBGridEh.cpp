#include "platform/grid/DBGridEh.h"

#include "platform/grid/GridPageLayout.h"

#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/DataSource.h"
#include "platform/dataset/FormatFloat.h"
#include "platform/ui/Guard.h"

#include <QStyle>
#include <QAbstractTableModel>
#include <QApplication>
#include <QComboBox>
#include <QDebug>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <cmath>

QColor colorFromTColor(quint32 tcolor)
{
    return QColor(int(tcolor & 0xFF), int((tcolor >> 8) & 0xFF), int((tcolor >> 16) & 0xFF));
}

namespace {

const QColor kLineColor(0x80, 0x80, 0x80);

// Runs fn and logs what it throws: painting and model reads must never throw.
template <class F>
auto quiet(F fn, decltype(fn()) fallback) -> decltype(fn())
{
    try {
        return fn();
    } catch (...) {
        qWarning().noquote() << "grid:" << currentExceptionMessage();
        return fallback;
    }
}

} // namespace

// --- model ----------------------------------------------------------------------------------

class TDBGridEhModel : public QAbstractTableModel {
public:
    explicit TDBGridEhModel(TDBGridEh* g) : QAbstractTableModel(g), m_grid(g) {}

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : m_rows; }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : m_cols; }

    QVariant data(const QModelIndex& index, int role) const override
    {
        TClientDataSet* ds = m_grid->DataSet();
        if (!ds || !ds->Active() || index.row() >= ds->RecordCount()) return {};
        TColumnEh* c = m_grid->columnAt(index.column());
        if (!c) return {};
        const int phys = ds->physicalRow(index.row());
        switch (role) {
        case Qt::DisplayRole: return quiet([&] { return c->displayTextAt(phys); }, QString());
        case Qt::EditRole:
            return quiet(
                [&] {
                    TField* f = c->Field();
                    if (!f) return QString();
                    TClientDataSet::RowScope s(ds, phys);
                    return f->Text();
                },
                QString());
        case Qt::TextAlignmentRole: return int(c->Alignment());
        default: return {};
        }
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        Qt::ItemFlags fl = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        TColumnEh* c = m_grid->columnAt(index.column());
        TField* f = c ? c->Field() : nullptr;
        if (!m_grid->ReadOnly() && c && !c->ReadOnly() && f && !f->ReadOnly() && !f->IsCalculated())
            fl |= Qt::ItemIsEditable;
        return fl;
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        if (role != Qt::EditRole) return false;
        TClientDataSet* ds = m_grid->DataSet();
        TColumnEh* c = m_grid->columnAt(index.column());
        if (!ds || !c || !c->Field()) return false;
        return guard(
            [&] {
                ds->setRecNo(index.row() + 1);
                TField* f = c->Field();
                if (f->AsString() == value.toString() && !f->IsNull()) return;
                const bool wasBrowsing = ds->State() == dsBrowse;
                try {
                    f->setAsString(value.toString());
                    ds->Post();
                } catch (...) {
                    // A refused value leaves the record as it was.
                    if (wasBrowsing && ds->State() == dsEdit) ds->Cancel();
                    throw;
                }
            },
            m_grid);
    }

    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (o == Qt::Horizontal && role == Qt::DisplayRole) {
            TColumnEh* c = m_grid->columnAt(section);
            return c ? c->Title()->Caption() : QVariant();
        }
        return {};
    }

    // Rows follow the dataset without a reset, so the column widths stay.
    void syncRows()
    {
        TClientDataSet* ds = m_grid->DataSet();
        const int n = ds && ds->Active() ? ds->RecordCount() : 0;
        if (n > m_rows) {
            beginInsertRows({}, m_rows, n - 1);
            m_rows = n;
            endInsertRows();
        } else if (n < m_rows) {
            beginRemoveRows({}, n, m_rows - 1);
            m_rows = n;
            endRemoveRows();
        }
        if (m_rows > 0 && m_cols > 0) Q_EMIT dataChanged(index(0, 0), index(m_rows - 1, m_cols - 1));
    }
    void resetAll()
    {
        beginResetModel();
        TClientDataSet* ds = m_grid->DataSet();
        m_rows = ds && ds->Active() ? ds->RecordCount() : 0;
        m_cols = m_grid->Columns()->Count();
        endResetModel();
    }
    void rowChanged(int row)
    {
        if (row >= 0 && row < m_rows && m_cols > 0) Q_EMIT dataChanged(index(row, 0), index(row, m_cols - 1));
    }

private:
    TDBGridEh* m_grid;
    int m_rows = 0;
    int m_cols = 0;
};

// --- title ----------------------------------------------------------------------------------

class TDBGridTitleEh : public QHeaderView {
public:
    explicit TDBGridTitleEh(TDBGridEh* g) : QHeaderView(Qt::Horizontal, g), m_grid(g)
    {
        setSectionsClickable(true);
        setHighlightSections(false);
        setSectionsMovable(false);
        setDefaultAlignment(Qt::AlignCenter);
        setMinimumSectionSize(8);
    }
    QSize sizeHint() const override
    {
        QSize s = QHeaderView::sizeHint();
        s.setHeight(m_grid->titleHeight());
        return s;
    }

protected:
    void paintSection(QPainter* p, const QRect& rect, int logical) const override
    {
        p->save();
        p->setClipRect(rect);
        p->setFont(font());
        const QStringList levels = m_grid->titleLevels(logical);
        // The shown sections in visual order, for the merged upper cells.
        QList<QStringList> shown;
        QList<int> shownLogical;
        int shownAt = -1;
        if (levels.size() > 1) {
            for (int v = 0; v < count(); ++v) {
                const int li = logicalIndex(v);
                if (li < 0 || isSectionHidden(li)) continue;
                if (li == logical) shownAt = int(shown.size());
                shown << m_grid->titleLevels(li);
                shownLogical << li;
            }
        }
        if (shownAt < 0) { // not among the shown sections: its cells are its own
            shown = {levels};
            shownLogical = {logical};
            shownAt = 0;
        }
        const int total = height();
        const int L = std::max(1, m_grid->titleLevelCount());
        const int lh = std::max(1, total / std::max(L, std::max(1, m_grid->TitleLines())) );
        const int n = int(levels.size());
        const QColor fixed = m_grid->FixedColor();
        int y = 0;
        for (int k = 0; k < n; ++k) {
            const bool last = k == n - 1;
            const int h = last ? total - y : lh;
            QRect cell;
            if (last) {
                cell = QRect(rect.left(), y, rect.width(), h);
            } else {
                // The upper cell spans the shown neighbours that share the levels up to k.
                const TitleSpan span = mergedTitleSpan(shown, shownAt, k);
                const int x0 = sectionViewportPosition(shownLogical[span.first]);
                const int lastLogical = shownLogical[span.last];
                const int x1 = sectionViewportPosition(lastLogical) + sectionSize(lastLogical);
                cell = QRect(x0, y, x1 - x0, h);
            }
            p->fillRect(cell, fixed);
            p->setPen(kLineColor);
            p->drawLine(cell.topRight(), cell.bottomRight());
            p->drawLine(cell.bottomLeft(), cell.bottomRight());
            p->setPen(palette().color(QPalette::ButtonText));
            QRect textRect = cell.adjusted(2, 1, -2, -1);
            TColumnEh* c = m_grid->columnAt(logical);
            if (last && c && c->Title()->SortMarker() != smNoneEh) {
                const int m = 10;
                const QRect mr(cell.right() - m - 3, cell.center().y() - m / 2, m, m);
                drawMarker(p, mr, c->Title()->SortMarker(), m_grid->SortMarkedColumns().size() > 1
                                                                ? c->Title()->SortIndex()
                                                                : 0);
                textRect.setRight(mr.left() - 1);
            }
            p->drawText(textRect, Qt::AlignCenter | Qt::TextWordWrap, levels[k]);
            y += h;
        }
        p->restore();
    }

private:
    void drawMarker(QPainter* p, const QRect& r, TSortMarkerEh m, int index) const
    {
        p->save();
        p->setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        if (m == smDownEh) {
            path.moveTo(r.left(), r.top() + 2);
            path.lineTo(r.right(), r.top() + 2);
            path.lineTo(r.center().x() + 0.5, r.bottom() - 1);
        } else {
            path.moveTo(r.left(), r.bottom() - 1);
            path.lineTo(r.right(), r.bottom() - 1);
            path.lineTo(r.center().x() + 0.5, r.top() + 2);
        }
        path.closeSubpath();
        p->fillPath(path, QColor(0x40, 0x40, 0x40));
        if (index > 0) {
            QFont f = p->font();
            f.setPointSizeF(std::max(5.0, f.pointSizeF() * 0.7));
            p->setFont(f);
            p->drawText(QRect(r.left() - 10, r.top() - 4, 10, 10), Qt::AlignCenter, QString::number(index));
        }
        p->restore();
    }
    TDBGridEh* m_grid;
};

// The indicator column: the fixed area left of the rows, with a mark at the current record.
class TDBGridIndicatorEh : public QHeaderView {
public:
    explicit TDBGridIndicatorEh(TDBGridEh* g) : QHeaderView(Qt::Vertical, g), m_grid(g)
    {
        setSectionResizeMode(QHeaderView::Fixed);
        setSectionsClickable(false);
        setHighlightSections(false);
    }
    QSize sizeHint() const override { return QSize(12, QHeaderView::sizeHint().height()); }

protected:
    void paintSection(QPainter* p, const QRect& rect, int logical) const override
    {
        p->save();
        p->fillRect(rect, m_grid->FixedColor());
        p->setPen(kLineColor);
        p->drawLine(rect.topRight(), rect.bottomRight());
        p->drawLine(rect.bottomLeft(), rect.bottomRight());
        if (m_grid->currentIndex().row() == logical) {
            p->setRenderHint(QPainter::Antialiasing);
            QPainterPath path;
            const QPointF c = QRectF(rect).center();
            path.moveTo(c.x() - 2, c.y() - 4);
            path.lineTo(c.x() + 3, c.y());
            path.lineTo(c.x() - 2, c.y() + 4);
            path.closeSubpath();
            p->fillPath(path, Qt::black);
        }
        p->restore();
    }

private:
    TDBGridEh* m_grid;
};

// --- footer ---------------------------------------------------------------------------------

class TDBGridFooterEh : public QWidget {
public:
    explicit TDBGridFooterEh(TDBGridEh* g) : QWidget(g), m_grid(g) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), m_grid->FooterColor());
        const int rows = m_grid->FooterRowCount();
        if (rows <= 0) return;
        const int rh = height() / rows;
        QHeaderView* h = m_grid->horizontalHeader();
        const int x0 = m_grid->verticalHeader()->isVisible() ? m_grid->verticalHeader()->width() : 0;
        p.setClipRect(QRect(x0, 0, width() - x0, height()));
        p.setFont(m_grid->font());
        for (int logical = 0; logical < h->count(); ++logical) {
            if (h->isSectionHidden(logical)) continue;
            const int x = x0 + h->sectionViewportPosition(logical);
            const int w = h->sectionSize(logical);
            if (x + w < x0 || x > width()) continue;
            TColumnEh* c = m_grid->columnAt(logical);
            for (int r = 0; r < rows; ++r) {
                const QRect cell(x, r * rh, w, rh);
                p.setPen(kLineColor);
                p.drawLine(cell.topRight(), cell.bottomRight());
                p.drawLine(cell.bottomLeft(), cell.bottomRight());
                if (!c) continue;
                const QString t = m_grid->footerText(logical, r);
                if (t.isEmpty()) continue;
                TColumnFooterEh* f = c->Footers()->Items(r);
                p.setPen(palette().color(QPalette::WindowText));
                p.drawText(cell.adjusted(2, 0, -3, 0), int(f ? f->Alignment() : Qt::AlignRight | Qt::AlignVCenter), t);
            }
        }
    }

private:
    TDBGridEh* m_grid;
};

// --- editors --------------------------------------------------------------------------------

class TDBGridEhDelegate : public QStyledItemDelegate {
public:
    explicit TDBGridEhDelegate(TDBGridEh* g) : QStyledItemDelegate(g), m_grid(g) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        TColumnEh* c = m_grid->columnAt(index.column());
        QWidget* ed;
        if (c && !c->PickList().isEmpty()) {
            auto* cb = new QComboBox(parent);
            cb->setEditable(true);
            cb->setInsertPolicy(QComboBox::NoInsert);
            cb->addItems(c->PickList());
            cb->setFrame(false);
            if (cb->lineEdit()) cb->lineEdit()->installEventFilter(m_grid);
            ed = cb;
        } else {
            ed = QStyledItemDelegate::createEditor(parent, option, index);
        }
        if (ed) ed->installEventFilter(m_grid);
        return ed;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        if (auto* cb = qobject_cast<QComboBox*>(editor)) {
            const QString t = index.data(Qt::EditRole).toString();
            const int i = cb->findText(t);
            if (i >= 0) cb->setCurrentIndex(i);
            cb->setEditText(t);
            return;
        }
        QStyledItemDelegate::setEditorData(editor, index);
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        if (auto* cb = qobject_cast<QComboBox*>(editor)) {
            model->setData(index, cb->currentText(), Qt::EditRole);
            return;
        }
        QStyledItemDelegate::setModelData(editor, model, index);
    }

private:
    TDBGridEh* m_grid;
};

// --- title and footer values ----------------------------------------------------------------

QString TColumnTitleEh::Caption() const
{
    if (!m_caption.isNull()) return m_caption;
    if (TField* f = m_col->Field()) return f->DisplayLabel();
    return m_col->FieldName();
}

void TColumnTitleEh::setCaption(const QString& c)
{
    m_caption = c.isNull() ? QStringLiteral("") : c;
    m_col->changed(true);
}

void TColumnTitleEh::setSortMarker(TSortMarkerEh m)
{
    if (m == m_marker) return;
    m_col->m_grid->markColumn(m_col, m);
}

bool TColumnTitleEh::TitleButton() const
{
    if (m_button) return true;
    if (!m_col->m_grid->DataFieldTitleButtons()) return false;
    TField* f = m_col->Field();
    return f && f->FieldKind() == fkData;
}

int TColumnTitleEh::SortIndex() const
{
    return int(m_col->m_grid->m_marked.indexOf(m_col)) + 1;
}

void TColumnFooterEh::setValueType(TFooterValueType t)
{
    m_type = t;
    m_col->changed(false);
}

void TColumnFooterEh::setValue(const QString& v)
{
    m_value = v;
    m_col->changed(false);
}

void TColumnFooterEh::setDisplayFormat(const QString& f)
{
    m_format = f;
    m_col->changed(false);
}

void TColumnFooterEh::setFieldName(const QString& f)
{
    m_fieldName = f;
    m_col->changed(false);
}

void TColumnFooterEh::setAlignment(Qt::Alignment a)
{
    m_align = a;
    m_col->changed(false);
}

TColumnFooterEh* TColumnFootersEh::Add()
{
    m_items.push_back(std::make_unique<TColumnFooterEh>(m_col));
    m_col->changed(false);
    return m_items.back().get();
}

void TColumnFootersEh::Clear()
{
    m_items.clear();
    m_col->changed(false);
}

// --- column ---------------------------------------------------------------------------------

TColumnEh::TColumnEh(TDBGridEh* grid) : m_grid(grid), m_title(this), m_footers(this)
{
}

TColumnEh::~TColumnEh()
{
    m_grid->columnDestroyed(this);
}

void TColumnEh::changed(bool layout)
{
    if (layout) m_grid->columnsLayoutChanged();
    else {
        m_grid->m_footerDirty = true;
        m_grid->viewport()->update();
        m_grid->m_footer->update();
    }
}

void TColumnEh::setFieldName(const QString& name)
{
    m_fieldName = name;
    m_field = nullptr;
    changed(true);
}

TField* TColumnEh::Field() const
{
    if (m_field && m_field->FieldName().compare(m_fieldName, Qt::CaseInsensitive) == 0 &&
        m_field->DataSet() == m_grid->DataSet())
        return m_field;
    TClientDataSet* ds = m_grid->DataSet();
    m_field = ds && !m_fieldName.isEmpty() ? ds->FindField(m_fieldName) : nullptr;
    return m_field;
}

void TColumnEh::setField(TField* f)
{
    m_fieldName = f ? f->FieldName() : QString();
    m_field = f;
    changed(true);
}

TColumnFooterEh* TColumnEh::Footer()
{
    if (m_footers.Count() == 0) return m_footers.Add();
    return m_footers.Items(0);
}

int TColumnEh::Width() const
{
    return m_width >= 0 ? m_width : m_grid->defaultWidth(this);
}

void TColumnEh::setWidth(int w)
{
    m_width = std::max(0, w);
    m_grid->applyColumnWidths();
}

void TColumnEh::setVisible(bool v)
{
    m_visible = v;
    changed(true);
}

void TColumnEh::setDisplayFormat(const QString& f)
{
    m_displayFormat = f;
    changed(false);
}

void TColumnEh::setPickList(const QStringList& l)
{
    m_pickList = l;
}

Qt::Alignment TColumnEh::Alignment() const
{
    if (m_alignSet) return m_align;
    if (TField* f = Field()) return f->Alignment();
    return Qt::AlignLeft | Qt::AlignVCenter;
}

void TColumnEh::setAlignment(Qt::Alignment a)
{
    m_align = a;
    m_alignSet = true;
    changed(false);
}

int TColumnEh::Index() const
{
    return m_grid->Columns()->indexOf(this);
}

QString TColumnEh::displayTextAt(int physRow) const
{
    TField* f = Field();
    if (!f) return QString();
    if (!m_displayFormat.isEmpty() && f->IsNumeric()) {
        const QVariant v = f->valueAt(physRow);
        if (v.isNull()) return QString();
        return FormatFloat(m_displayFormat, v.toDouble());
    }
    return f->displayTextAt(physRow);
}

QString TColumnEh::footerText(int footerRow) const
{
    TColumnFooterEh* ft = m_footers.Items(footerRow);
    if (!ft) return QString();
    TClientDataSet* ds = m_grid->DataSet();
    auto fieldFor = [&]() -> TField* {
        if (!ft->FieldName().isEmpty() && ds) return ds->FindField(ft->FieldName());
        return Field();
    };
    auto format = [&](TField* f, double v) {
        if (!ft->DisplayFormat().isEmpty()) return FormatFloat(ft->DisplayFormat(), v);
        if (!m_displayFormat.isEmpty()) return FormatFloat(m_displayFormat, v);
        if (f) return f->formatNumber(v);
        return FloatToStr(v);
    };
    switch (ft->ValueType()) {
    case fvtNon: return QString();
    case fvtStaticText: return ft->Value();
    case fvtCount: return ds && ds->Active() ? QString::number(ds->RecordCount()) : QStringLiteral("0");
    case fvtFieldValue: {
        TField* f = fieldFor();
        return f && ds && ds->Active() ? f->DisplayText() : QString();
    }
    case fvtSum:
    case fvtAvg: {
        if (!m_grid->SumListActive()) return ft->Value();
        TField* f = fieldFor();
        if (!f || !ds || !ds->Active()) return QString();
        int n = 0;
        const double s = ds->sumInView(f, &n);
        if (ft->ValueType() == fvtAvg) return n ? format(f, s / n) : QString();
        return format(f, s);
    }
    }
    return QString();
}

// --- columns --------------------------------------------------------------------------------

TDBGridColumnsEh::TDBGridColumnsEh(TDBGridEh* grid) : QObject(grid), m_grid(grid)
{
}

TDBGridColumnsEh::~TDBGridColumnsEh()
{
    clearItems();
}

void TDBGridColumnsEh::clearItems()
{
    // Out of the list first: a column leaving unmarks itself, and the grid must not find it in
    // the list half-destroyed meanwhile.
    std::vector<std::unique_ptr<TColumnEh>> old;
    old.swap(m_items);
    old.clear();
}

int TDBGridColumnsEh::indexOf(const TColumnEh* c) const
{
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i].get() == c) return int(i);
    return -1;
}

TColumnEh* TDBGridColumnsEh::Add()
{
    return Insert(Count());
}

TColumnEh* TDBGridColumnsEh::Insert(int index)
{
    if (m_default) {
        m_default = false;
        clearItems();
        index = 0;
    }
    const auto at = m_items.insert(m_items.begin() + std::clamp(index, 0, Count()), std::make_unique<TColumnEh>(m_grid));
    m_grid->columnsLayoutChanged();
    return at->get();
}

void TDBGridColumnsEh::Delete(int index)
{
    if (index < 0 || index >= Count()) return;
    std::unique_ptr<TColumnEh> c = std::move(m_items[size_t(index)]);
    m_items.erase(m_items.begin() + index);
    m_default = false;
    c.reset();
    m_grid->columnsLayoutChanged();
}

void TDBGridColumnsEh::Clear()
{
    clearItems();
    m_grid->columnsLayoutChanged();
}

void TDBGridColumnsEh::Move(int from, int to)
{
    if (from < 0 || from >= Count()) return;
    const int dest = std::clamp(to, 0, Count() - 1);
    std::unique_ptr<TColumnEh> c = std::move(m_items[size_t(from)]);
    m_items.erase(m_items.begin() + from);
    m_items.insert(m_items.begin() + dest, std::move(c));
    m_default = false;
    m_grid->columnsLayoutChanged();
}

TColumnEh* TDBGridColumnsEh::FindColumnByName(const QString& fieldName) const
{
    for (const auto& c : m_items)
        if (c->FieldName().compare(fieldName, Qt::CaseInsensitive) == 0) return c.get();
    return nullptr;
}

void TDBGridColumnsEh::AddAllColumns(bool deleteExisting)
{
    if (deleteExisting) clearItems();
    m_default = false;
    if (TClientDataSet* ds = m_grid->DataSet()) {
        for (TField* f : ds->Fields()) {
            if (!f->Visible()) continue;
            auto& c = m_items.emplace_back(std::make_unique<TColumnEh>(m_grid));
            c->m_fieldName = f->FieldName();
        }
    }
    m_grid->columnsLayoutChanged();
}

void TDBGridColumnsEh::rebuildDefault()
{
    if (!m_default) return;
    QStringList want;
    if (TClientDataSet* ds = m_grid->DataSet())
        for (TField* f : ds->Fields())
            if (f->Visible()) want << f->FieldName();
    QStringList have;
    for (const auto& c : m_items) have << c->FieldName();
    if (want == have) return;
    clearItems();
    for (const QString& n : want) {
        auto& c = m_items.emplace_back(std::make_unique<TColumnEh>(m_grid));
        c->m_fieldName = n;
    }
}

// --- grid -----------------------------------------------------------------------------------

TDBGridEh::TDBGridEh(QWidget* parent) : QTableView(parent)
{
    m_columns = new TDBGridColumnsEh(this);
    m_model = new TDBGridEhModel(this);
    m_title = new TDBGridTitleEh(this);
    m_footer = new TDBGridFooterEh(this);
    m_fixedColor = palette().color(QPalette::Button);
    m_footerColor = m_fixedColor;
    setHorizontalHeader(m_title);
    setVerticalHeader(new TDBGridIndicatorEh(this));
    setModel(m_model);
    setItemDelegate(new TDBGridEhDelegate(this));
    const int rowH = fontMetrics().height() + 6;
    verticalHeader()->setDefaultSectionSize(rowH);
    verticalHeader()->setMinimumSectionSize(rowH);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    m_footer->hide();
    connect(m_title, &QHeaderView::sectionClicked, this, [this](int logical) {
        clickTitle(logical, QGuiApplication::keyboardModifiers() & Qt::ControlModifier);
    });
    connect(m_title, &QHeaderView::sectionResized, this, [this](int logical, int, int newSize) {
        if (m_resizing) return;
        if (TColumnEh* c = columnAt(logical)) c->m_width = newSize;
        m_footer->update();
    });
    m_model->resetAll();
}

TDBGridEh::~TDBGridEh()
{
    for (const auto& c : m_conns) disconnect(c);
    m_conns.clear();
    m_onSortMarkingChanged = nullptr;
    // The columns go first, while the lists they leave are still alive.
    delete m_columns;
    m_columns = nullptr;
    m_marked.clear();
}

TClientDataSet* TDBGridEh::DataSet() const
{
    return m_source ? m_source->DataSet() : nullptr;
}

void TDBGridEh::setDataSource(TDataSource* ds)
{
    if (ds == m_source) return;
    for (const auto& c : m_conns) disconnect(c);
    m_conns.clear();
    m_source = ds;
    if (ds) {
        m_conns << connect(ds, &TDataSource::dataSetReplaced, this, [this] { bindDataSet(); });
        m_conns << connect(ds, &QObject::destroyed, this, [this] {
            m_source = nullptr;
            bindDataSet();
        });
    }
    bindDataSet();
}

void TDBGridEh::bindDataSet()
{
    for (int i = 2; i < m_conns.size(); ++i) disconnect(m_conns[i]);
    while (m_conns.size() > 2) m_conns.removeLast();
    m_ds = DataSet();
    if (m_ds) {
        m_conns << connect(m_ds, &TClientDataSet::dataSetChanged, this, [this] { onDataSetChanged(); });
        m_conns << connect(m_ds, &TClientDataSet::scrolled, this, [this] { syncCurrentFromDataSet(); });
        m_conns << connect(m_ds, &TClientDataSet::recordChanged, this, [this](TField* f) { onDataChange(f); });
        m_conns << connect(m_ds, &TClientDataSet::fieldsChanged, this, [this] { onFieldsChanged(); });
    }
    onFieldsChanged();
}

void TDBGridEh::onFieldsChanged()
{
    if (!m_columns) return;
    m_columns->rebuildDefault();
    columnsLayoutChanged();
}

void TDBGridEh::onDataSetChanged()
{
    m_footerDirty = true;
    m_model->syncRows();
    syncCurrentFromDataSet();
    m_footer->update();
    verticalHeader()->viewport()->update();
}

void TDBGridEh::onDataChange(TField*)
{
    m_footerDirty = true;
    if (m_ds) m_model->rowChanged(m_ds->RecNo() - 1);
    m_footer->update();
}

void TDBGridEh::syncCurrentFromDataSet()
{
    if (!m_ds || !m_ds->Active() || m_ds->RecNo() < 1) return;
    const int row = m_ds->RecNo() - 1;
    if (row >= m_model->rowCount()) return;
    if (currentIndex().row() == row) return;
    int col = currentIndex().isValid() ? currentIndex().column() : 0;
    while (col < m_model->columnCount() && isColumnHidden(col)) ++col;
    if (col >= m_model->columnCount()) col = 0;
    m_syncing = true;
    setCurrentIndex(m_model->index(row, col));
    m_syncing = false;
}

void TDBGridEh::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    verticalHeader()->viewport()->update();
    if (m_syncing || !current.isValid() || !m_ds || !m_ds->Active()) return;
    if (current.row() != m_ds->RecNo() - 1) {
        m_syncing = true;
        guard([&] { m_ds->setRecNo(current.row() + 1); }, this);
        m_syncing = false;
    }
}

void TDBGridEh::columnsLayoutChanged()
{
    if (!m_columns) return;
    m_footerDirty = true;
    m_model->resetAll();
    // Hiding a section resizes it to 0: that is not the column's width.
    m_resizing = true;
    for (int i = 0; i < m_columns->Count(); ++i) setColumnHidden(i, !m_columns->Items(i)->Visible());
    m_resizing = false;
    applyColumnWidths();
    updateGeometries();
    m_title->viewport()->update();
    m_footer->update();
    syncCurrentFromDataSet();
    Q_EMIT columnsChanged();
}

int TDBGridEh::defaultWidth(const TColumnEh* c) const
{
    const int cw = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    TField* f = c->Field();
    const int chars = f ? f->DisplayWidth() : 10;
    // The cell draws its text inside the style's margins on both sides.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const int n = std::clamp(chars, 2, 60);
    // Widths count GBK bytes: a text of n bytes may be n/2 Chinese characters, which are wider
    // than two digits in most faces.
    const int textWidth = f && f->DataType() == ftString
        ? std::max(n * cw, n / 2 * fontMetrics().horizontalAdvance(QChar(0x4E2D)))
        : n * cw;
    int w = textWidth + 6 + 2 * margin;
    // Wide enough for the lowest title line.
    const QStringList levels = c->Title()->Caption().split(u'|');
    w = std::max(w, fontMetrics().horizontalAdvance(levels.last()) + 8);
    return w;
}

void TDBGridEh::applyColumnWidths()
{
    if (!m_columns) return;
    m_resizing = true;
    for (int i = 0; i < m_columns->Count() && i < m_title->count(); ++i)
        m_title->resizeSection(i, m_columns->Items(i)->Width());
    m_resizing = false;
    m_footer->update();
}

void TDBGridEh::setReadOnly(bool r)
{
    m_readOnly = r;
    setEditTriggers(r ? QAbstractItemView::NoEditTriggers
                      : QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
}

void TDBGridEh::setTitleLines(int n)
{
    m_titleLines = std::max(1, n);
    updateGeometries();
    m_title->viewport()->update();
}

void TDBGridEh::setUseMultiTitle(bool on)
{
    m_multiTitle = on;
    updateGeometries();
    m_title->viewport()->update();
}

void TDBGridEh::setFooterRowCount(int n)
{
    m_footerRows = std::max(0, n);
    m_footerDirty = true;
    updateGeometries();
}

void TDBGridEh::setSumListActive(bool on)
{
    m_sumActive = on;
    m_footerDirty = true;
    m_footer->update();
}

void TDBGridEh::setFixedColor(const QColor& c)
{
    m_fixedColor = c;
    m_title->viewport()->update();
    verticalHeader()->viewport()->update();
}

void TDBGridEh::setFooterColor(const QColor& c)
{
    m_footerColor = c;
    m_footer->update();
}

void TDBGridEh::setShowHint(bool on)
{
    m_showHint = on;
    setToolTip(on ? m_hint : QString());
}

void TDBGridEh::setHint(const QString& h)
{
    m_hint = h;
    setToolTip(m_showHint ? h : QString());
}

QStringList TDBGridEh::titleLevels(int column) const
{
    TColumnEh* c = columnAt(column);
    if (!c) return {QString()};
    const QString cap = c->Title()->Caption();
    if (!m_multiTitle) return {cap};
    return cap.split(u'|');
}

int TDBGridEh::titleLevelCount() const
{
    int n = 1;
    if (!m_columns) return n;
    for (int i = 0; i < m_columns->Count(); ++i)
        if (m_columns->Items(i)->Visible()) n = std::max(n, int(titleLevels(i).size()));
    return n;
}

int TDBGridEh::titleHeight() const
{
    const int lh = fontMetrics().height() + 4;
    return std::max(titleLevelCount(), m_titleLines) * lh + 1;
}

int TDBGridEh::footerHeight() const
{
    return m_footerRows * (fontMetrics().height() + 6);
}

void TDBGridEh::updateGeometries()
{
    QTableView::updateGeometries();
    layoutFooter();
}

void TDBGridEh::layoutFooter()
{
    const int fh = footerHeight();
    const QMargins m = viewportMargins();
    if (m.bottom() != fh) setViewportMargins(m.left(), m.top(), m.right(), fh);
    if (fh > 0) {
        const QRect vp = viewport()->geometry();
        m_footer->setGeometry(frameWidth(), vp.bottom() + 1, vp.right() + 1 - frameWidth(), fh);
        m_footer->show();
        m_footer->raise();
    } else {
        m_footer->hide();
    }
}

void TDBGridEh::resizeEvent(QResizeEvent* e)
{
    QTableView::resizeEvent(e);
    layoutFooter();
}

void TDBGridEh::scrollContentsBy(int dx, int dy)
{
    QTableView::scrollContentsBy(dx, dy);
    if (dx) m_footer->update();
}

void TDBGridEh::updateFooters() const
{
    if (!m_columns) return;
    m_footerCache.assign(size_t(m_columns->Count()), QString());
    for (int i = 0; i < m_columns->Count(); ++i)
        m_footerCache[size_t(i)] = quiet([&] { return m_columns->Items(i)->footerText(0); }, QString());
    m_footerDirty = false;
    m_footer->update();
}

QString TDBGridEh::footerText(int column, int footerRow) const
{
    TColumnEh* c = columnAt(column);
    if (!c) return QString();
    if (footerRow != 0) return quiet([&] { return c->footerText(footerRow); }, QString());
    if (m_footerDirty || m_footerCache.size() != size_t(m_columns->Count()))
        updateFooters();
    return size_t(column) < m_footerCache.size() ? m_footerCache[size_t(column)] : QString();
}

// --- sort markers ---------------------------------------------------------------------------

void TDBGridEh::markColumn(TColumnEh* c, TSortMarkerEh m)
{
    c->m_title.m_marker = m;
    if (m == smNoneEh) m_marked.removeAll(c);
    else if (!m_marked.contains(c)) m_marked.append(c);
    m_title->viewport()->update();
}

void TDBGridEh::clearSortMarkers()
{
    const auto marked = m_marked;
    for (TColumnEh* c : marked) markColumn(c, smNoneEh);
}

void TDBGridEh::columnDestroyed(TColumnEh* c)
{
    m_marked.removeAll(c);
}

void TDBGridEh::fireSortMarkingChanged()
{
    Q_EMIT sortMarkingChanged();
    if (m_onSortMarkingChanged) guard([this] { m_onSortMarkingChanged(this); }, this);
}

void TDBGridEh::clickTitle(int column, bool ctrl)
{
    TColumnEh* c = columnAt(column);
    if (!c || !c->Title()->TitleButton()) return;
    if (m_onTitleBtnClick) guard([&] { m_onTitleBtnClick(this, c); }, this);
    if (!(m_optionsEh & dghAutoSortMarking)) return;
    const TSortMarkerEh cur = c->Title()->SortMarker();
    if (ctrl && (m_optionsEh & dghMultiSortMarking)) {
        // Ctrl+click: this column cycles ascending, descending, unmarked; the others stay.
        markColumn(c, cur == smNoneEh ? smUpEh : cur == smUpEh ? smDownEh : smNoneEh);
    } else {
        const TSortMarkerEh next = cur == smUpEh ? smDownEh : smUpEh;
        const auto marked = m_marked;
        for (TColumnEh* o : marked)
            if (o != c) markColumn(o, smNoneEh);
        markColumn(c, next);
    }
    fireSortMarkingChanged();
}

int TDBGridEh::SelectedIndex() const
{
    return currentIndex().isValid() ? currentIndex().column() : -1;
}

void TDBGridEh::setSelectedIndex(int col)
{
    if (col < 0 || col >= m_model->columnCount()) return;
    const int row = currentIndex().isValid() ? currentIndex().row() : (m_model->rowCount() > 0 ? 0 : -1);
    if (row < 0) return;
    setCurrentIndex(m_model->index(row, col));
}

bool TDBGridEh::editCurrentCell()
{
    const QModelIndex i = currentIndex();
    if (!i.isValid() || !(m_model->flags(i) & Qt::ItemIsEditable)) return false;
    return edit(i, QAbstractItemView::AllEditTriggers, nullptr);
}

// --- mouse and keys -------------------------------------------------------------------------

namespace {
TShiftState shiftOf(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons, bool dbl)
{
    TShiftState s;
    if (mods & Qt::ShiftModifier) s |= ssShift;
    if (mods & Qt::AltModifier) s |= ssAlt;
    if (mods & Qt::ControlModifier) s |= ssCtrl;
    if (buttons & Qt::LeftButton) s |= ssLeft;
    if (buttons & Qt::RightButton) s |= ssRight;
    if (buttons & Qt::MiddleButton) s |= ssMiddle;
    if (dbl) s |= ssDouble;
    return s;
}
} // namespace

void TDBGridEh::mousePressEvent(QMouseEvent* e)
{
    QTableView::mousePressEvent(e);
    if (m_onMouseDown) {
        const TShiftState s = shiftOf(e->modifiers(), e->buttons() | e->button(), false);
        const QPoint p = e->position().toPoint();
        guard([&] { m_onMouseDown(this, e->button(), s, p.x(), p.y()); }, this);
    }
}

void TDBGridEh::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (m_onMouseDown) {
        const TShiftState s = shiftOf(e->modifiers(), e->buttons() | e->button(), true);
        const QPoint p = e->position().toPoint();
        guard([&] { m_onMouseDown(this, e->button(), s, p.x(), p.y()); }, this);
    }
    // A double click on a row runs the handler; on the free area below the rows it does nothing.
    const QModelIndex at = indexAt(e->position().toPoint());
    if (m_onDblClick && at.isValid()) {
        guard([&] { m_onDblClick(this); }, this);
        return;
    }
    QTableView::mouseDoubleClickEvent(e);
}

void TDBGridEh::keyTyped(QChar& ch)
{
    if (!m_onKeyPress) return;
    guard([&] { m_onKeyPress(this, ch); }, this);
}

void TDBGridEh::keyPressEvent(QKeyEvent* e)
{
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && (m_optionsEh & dghEnterAsTab)) {
        const QModelIndex i = currentIndex();
        if (i.isValid()) {
            int col = i.column() + 1;
            while (col < m_model->columnCount() && isColumnHidden(col)) ++col;
            if (col < m_model->columnCount()) setCurrentIndex(m_model->index(i.row(), col));
            else if (i.row() + 1 < m_model->rowCount()) {
                int first = 0;
                while (first < m_model->columnCount() && isColumnHidden(first)) ++first;
                setCurrentIndex(m_model->index(i.row() + 1, first));
            }
        }
        e->accept();
        return;
    }
    const QString t = e->text();
    if (!t.isEmpty() && t[0].isPrint()) {
        QChar ch = t[0];
        keyTyped(ch);
        if (ch.isNull()) {
            e->accept();
            return;
        }
    }
    QTableView::keyPressEvent(e);
}

bool TDBGridEh::eventFilter(QObject* o, QEvent* e)
{
    if (e->type() == QEvent::KeyPress && o != this && o != viewport()) {
        auto* ke = static_cast<QKeyEvent*>(e);
        const QString t = ke->text();
        if (!t.isEmpty() && t[0].isPrint() && m_onKeyPress) {
            QChar ch = t[0];
            keyTyped(ch);
            if (ch.isNull()) return true;
        }
    }
    return QTableView::eventFilter(o, e);
}

bool TDBGridEh::viewportEvent(QEvent* e)
{
    if (e->type() == QEvent::ToolTip && !m_showHint) return true;
    return QTableView::viewportEvent(e);
}
