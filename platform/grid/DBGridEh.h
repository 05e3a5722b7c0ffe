// The data grid: a table view over a data source whose model reads the dataset in place, with
// columns bound to fields, multi-level titles ("upper|lower"), a footer row with sums, title
// buttons with sort markers, pick-list editors and per-column tags.
#pragma once

#include <QColor>
#include <QFlags>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTableView>
#include <functional>
#include <memory>
#include <vector>

class TClientDataSet;
class TDataSource;
class TField;
class TDBGridEh;
class TDBGridEhModel;
class TDBGridFooterEh;
class TDBGridTitleEh;

// Shift state of a mouse or key event, as handlers receive it.
enum TShiftStateFlag {
    ssShift = 0x01, ssAlt = 0x02, ssCtrl = 0x04,
    ssLeft = 0x08, ssRight = 0x10, ssMiddle = 0x20, ssDouble = 0x40
};
Q_DECLARE_FLAGS(TShiftState, TShiftStateFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TShiftState)

// none, down (descending), up (ascending).
enum TSortMarkerEh { smNoneEh, smDownEh, smUpEh };

enum TFooterValueType { fvtNon, fvtSum, fvtAvg, fvtCount, fvtFieldValue, fvtStaticText };

enum TDBGridEhOption {
    dghHighlightFocus = 0x01,
    dghClearSelection = 0x02,
    dghAutoSortMarking = 0x04,  // a click on a title button sets the sort markers
    dghMultiSortMarking = 0x08, // Ctrl+click adds a column to the marked ones
    dghEnterAsTab = 0x10,
    dghRowHighlight = 0x20
};
Q_DECLARE_FLAGS(TDBGridEhOptions, TDBGridEhOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TDBGridEhOptions)

// A colour in the suite's form (0x00BBGGRR).
QColor colorFromTColor(quint32 tcolor);

class TColumnEh;

class TColumnTitleEh {
public:
    explicit TColumnTitleEh(TColumnEh* c) : m_col(c) {}
    // The caption; "|" separates the levels of a multi-level title. Until set, the field's
    // DisplayLabel.
    QString Caption() const;
    void setCaption(const QString& c);
    bool IsCaptionStored() const { return !m_caption.isNull(); }
    TSortMarkerEh SortMarker() const { return m_marker; }
    // Sets the marker (the column joins or leaves the marked ones); no event.
    void setSortMarker(TSortMarkerEh m);
    // 1-based place among the marked columns, 0 when not marked.
    int SortIndex() const;
    // A button when set, or when the grid makes every data-field column one.
    bool TitleButton() const;
    void setTitleButton(bool b) { m_button = b; }

private:
    friend class TDBGridEh;
    TColumnEh* m_col;
    QString m_caption;
    TSortMarkerEh m_marker = smNoneEh;
    bool m_button = false;
};

class TColumnFooterEh {
public:
    explicit TColumnFooterEh(TColumnEh* c) : m_col(c) {}
    TFooterValueType ValueType() const { return m_type; }
    void setValueType(TFooterValueType t);
    // Static text, or the value shown with fvtFieldValue; cleared by masking.
    QString Value() const { return m_value; }
    void setValue(const QString& v);
    QString DisplayFormat() const { return m_format; }
    void setDisplayFormat(const QString& f);
    // Field summed (default: the column's field).
    QString FieldName() const { return m_fieldName; }
    void setFieldName(const QString& f);
    Qt::Alignment Alignment() const { return m_align; }
    void setAlignment(Qt::Alignment a);

private:
    TColumnEh* m_col;
    TFooterValueType m_type = fvtNon;
    QString m_value;
    QString m_format;
    QString m_fieldName;
    Qt::Alignment m_align = Qt::AlignRight | Qt::AlignVCenter;
};

class TColumnFootersEh {
public:
    explicit TColumnFootersEh(TColumnEh* c) : m_col(c) {}
    int Count() const { return int(m_items.size()); }
    TColumnFooterEh* Items(int i) const { return i >= 0 && i < Count() ? m_items[size_t(i)].get() : nullptr; }
    TColumnFooterEh* Add();
    void Clear();

private:
    TColumnEh* m_col;
    std::vector<std::unique_ptr<TColumnFooterEh>> m_items;
};

class TColumnEh : public QObject {
    Q_OBJECT
public:
    explicit TColumnEh(TDBGridEh* grid);
    ~TColumnEh() override;
    TDBGridEh* Grid() const { return m_grid; }

    QString FieldName() const { return m_fieldName; }
    void setFieldName(const QString& name);
    // The bound field of the grid's dataset, nullptr when none.
    TField* Field() const;
    // Binds to a field (takes its name).
    void setField(TField* f);
    TColumnTitleEh* Title() { return &m_title; }
    const TColumnTitleEh* Title() const { return &m_title; }
    // The first footer (the footer row); made when missing.
    TColumnFooterEh* Footer();
    TColumnFootersEh* Footers() { return &m_footers; }
    // Width in pixels; -1 until set (the field's DisplayWidth decides).
    int Width() const;
    void setWidth(int w);
    bool Visible() const { return m_visible; }
    void setVisible(bool v);
    bool ReadOnly() const { return m_readOnly; }
    void setReadOnly(bool r) { m_readOnly = r; }
    int Tag() const { return m_tag; }
    void setTag(int t) { m_tag = t; }
    // Numeric columns: overrides the field's display format (and its text handler).
    QString DisplayFormat() const { return m_displayFormat; }
    void setDisplayFormat(const QString& f);
    QStringList PickList() const { return m_pickList; }
    void setPickList(const QStringList& l);
    Qt::Alignment Alignment() const;
    void setAlignment(Qt::Alignment a);
    int Index() const; // position among the grid's columns

    // The text the column shows for a physical row of the dataset.
    QString displayTextAt(int physRow) const;
    // The text of footer row i (sums over the records in view).
    QString footerText(int footerRow = 0) const;

private:
    friend class TDBGridEh;
    friend class TColumnTitleEh;
    friend class TColumnFooterEh;
    friend class TColumnFootersEh;
    friend class TDBGridColumnsEh;
    void changed(bool layout);
    TDBGridEh* m_grid;
    QString m_fieldName;
    mutable QPointer<TField> m_field; // the bound field, looked up again when stale
    TColumnTitleEh m_title;
    TColumnFootersEh m_footers;
    int m_width = -1;
    bool m_visible = true;
    bool m_readOnly = false;
    int m_tag = 0;
    QString m_displayFormat;
    QStringList m_pickList;
    Qt::Alignment m_align;
    bool m_alignSet = false;
};

class TDBGridColumnsEh : public QObject {
    Q_OBJECT
public:
    explicit TDBGridColumnsEh(TDBGridEh* grid);
    ~TDBGridColumnsEh() override;
    int Count() const { return int(m_items.size()); }
    TColumnEh* Items(int i) const { return i >= 0 && i < Count() ? m_items[size_t(i)].get() : nullptr; }
    TColumnEh* operator[](int i) const { return Items(i); }
    // Appends a column; the grid keeps its own columns from then on (no default columns).
    TColumnEh* Add();
    TColumnEh* Insert(int index);
    void Delete(int index);
    void Clear();
    void Move(int from, int to);
    // The first column bound to the field name (case-insensitive), nullptr when none.
    TColumnEh* FindColumnByName(const QString& fieldName) const;
    // Default columns follow the dataset's visible fields; customised ones are the grid's own.
    bool IsDefault() const { return m_default; }
    // Makes default columns for the dataset's visible fields now (they become the grid's own).
    void AddAllColumns(bool deleteExisting);

private:
    friend class TDBGridEh;
    friend class TColumnEh;
    void rebuildDefault();
    // Frees every column: the one place columns end, apart from Delete.
    void clearItems();
    int indexOf(const TColumnEh* c) const;
    TDBGridEh* m_grid;
    // The columns' only owner.
    std::vector<std::unique_ptr<TColumnEh>> m_items;
    bool m_default = true;
};

class TDBGridEh : public QTableView {
    Q_OBJECT
public:
    explicit TDBGridEh(QWidget* parent = nullptr);
    ~TDBGridEh() override;

    void setDataSource(TDataSource* ds);
    TDataSource* DataSource() const { return m_source; }
    TClientDataSet* DataSet() const; // the data source's dataset, nullptr when none
    TDBGridColumnsEh* Columns() const { return m_columns; }

    bool ReadOnly() const { return m_readOnly; }
    void setReadOnly(bool r);
    TDBGridEhOptions OptionsEh() const { return m_optionsEh; }
    void setOptionsEh(TDBGridEhOptions o) { m_optionsEh = o; }
    int TitleLines() const { return m_titleLines; }
    void setTitleLines(int n);
    // Multi-level titles ("upper|lower"); on by default.
    bool UseMultiTitle() const { return m_multiTitle; }
    void setUseMultiTitle(bool on);
    int FooterRowCount() const { return m_footerRows; }
    void setFooterRowCount(int n);
    bool SumListActive() const { return m_sumActive; }
    void setSumListActive(bool on);
    QColor FixedColor() const { return m_fixedColor; }
    void setFixedColor(const QColor& c);
    QColor FooterColor() const { return m_footerColor; }
    void setFooterColor(const QColor& c);
    bool ShowHint() const { return m_showHint; }
    void setShowHint(bool on);
    QString Hint() const { return m_hint; }
    void setHint(const QString& h);

    // Every column bound to a data field (not a calculated one) has a title button, also the
    // columns added or made later (title sorting).
    bool DataFieldTitleButtons() const { return m_dataFieldButtons; }
    void setDataFieldTitleButtons(bool on) { m_dataFieldButtons = on; }

    // Marked columns in marking order.
    QList<TColumnEh*> SortMarkedColumns() const { return m_marked; }
    // Clears every marker (no event).
    void clearSortMarkers();
    // Index of the focused column among Columns(), -1 when none.
    int SelectedIndex() const;
    void setSelectedIndex(int col);
    // The column shown at a model column.
    TColumnEh* columnAt(int modelColumn) const { return m_columns ? m_columns->Items(modelColumn) : nullptr; }

    // Events. Each handler runs inside guard().
    using GridHandler = std::function<void(TDBGridEh* sender)>;
    void setOnSortMarkingChanged(GridHandler h) { m_onSortMarkingChanged = std::move(h); }
    const GridHandler& OnSortMarkingChanged() const { return m_onSortMarkingChanged; }
    using TitleClickHandler = std::function<void(TDBGridEh* sender, TColumnEh* column)>;
    void setOnTitleBtnClick(TitleClickHandler h) { m_onTitleBtnClick = std::move(h); }
    void setOnDblClick(GridHandler h) { m_onDblClick = std::move(h); }
    using MouseHandler =
        std::function<void(TDBGridEh* sender, Qt::MouseButton button, TShiftState shift, int x, int y)>;
    void setOnMouseDown(MouseHandler h) { m_onMouseDown = std::move(h); }
    // A typed character (in the grid or its cell editor); set key to QChar() to swallow it.
    using KeyPressHandler = std::function<void(TDBGridEh* sender, QChar& key)>;
    void setOnKeyPress(KeyPressHandler h) { m_onKeyPress = std::move(h); }

    // Recomputes the footer sums now (they follow every change of the data by themselves).
    void updateFooters() const;
    QString footerText(int column, int footerRow = 0) const;
    // Height of the title area in pixels.
    int titleHeight() const;
    int footerHeight() const;
    // Title levels of a column (its caption split at "|").
    QStringList titleLevels(int column) const;
    int titleLevelCount() const;

    // Title click as the user does it (ctrl: Ctrl held).
    void clickTitle(int column, bool ctrl = false);
    // Starts editing the current cell when the grid and column allow it.
    bool editCurrentCell();

Q_SIGNALS:
    void sortMarkingChanged();
    void columnsChanged();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    bool viewportEvent(QEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;
    void updateGeometries() override;

private:
    friend class TColumnEh;
    friend class TColumnTitleEh;
    friend class TColumnFooterEh;
    friend class TDBGridColumnsEh;
    friend class TDBGridEhModel;
    friend class TDBGridFooterEh;
    friend class TDBGridTitleEh;
    friend class TDBGridEhDelegate;
    void bindDataSet();
    void onDataChange(TField* f);
    void onDataSetChanged();
    void onFieldsChanged();
    void syncCurrentFromDataSet();
    void columnsLayoutChanged();
    void applyColumnWidths();
    void markColumn(TColumnEh* c, TSortMarkerEh m);
    void columnDestroyed(TColumnEh* c);
    void fireSortMarkingChanged();
    void keyTyped(QChar& ch);
    void layoutFooter();
    int defaultWidth(const TColumnEh* c) const;

    TDataSource* m_source = nullptr;
    QPointer<TClientDataSet> m_ds;
    QList<QMetaObject::Connection> m_conns;
    TDBGridColumnsEh* m_columns;
    TDBGridEhModel* m_model;
    TDBGridTitleEh* m_title;
    TDBGridFooterEh* m_footer;
    bool m_readOnly = false;
    TDBGridEhOptions m_optionsEh;
    int m_titleLines = 1;
    bool m_multiTitle = true;
    int m_footerRows = 0;
    bool m_sumActive = true;
    QColor m_fixedColor;
    QColor m_footerColor;
    bool m_showHint = false;
    bool m_dataFieldButtons = false;
    QString m_hint;
    QList<TColumnEh*> m_marked;
    bool m_syncing = false;
    bool m_resizing = false;
    mutable std::vector<QString> m_footerCache; // per column, footer row 0
    mutable bool m_footerDirty = true;

    GridHandler m_onSortMarkingChanged;
    TitleClickHandler m_onTitleBtnClick;
    GridHandler m_onDblClick;
    MouseHandler m_onMouseDown;
    KeyPressHandler m_onKeyPress;
};
