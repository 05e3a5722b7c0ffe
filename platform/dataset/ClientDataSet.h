// The in-memory client dataset: typed columnar storage with a cursor, locate, filter and
// secondary indexes. Records are physical rows; sorting and filtering only build a permutation
// of them (the view), so the data never moves.
#pragma once

#include "platform/dataset/DataSetProvider.h"
#include "platform/dataset/Field.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

class DbCursor;

namespace dsimpl {
struct Store;
class Filter;
}

enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsCalcFields };

enum TLocateOption { loCaseInsensitive = 1, loPartialKey = 2 };
using TLocateOptions = int;

enum TFilterOption { foCaseInsensitive = 1, foNoPartialCompare = 2 };
using TFilterOptions = int;

enum TIndexOption { ixDescending = 1, ixCaseInsensitive = 2 };
using TIndexOptions = int;

struct TIndexDef {
    QString Name;
    QString Fields;          // "A;B"
    QString DescFields;      // fields of Fields sorted descending
    QString CaseInsFields;   // string fields of Fields compared without regard to case
    TIndexOptions Options = 0; // ixDescending: every field descending
};

class TClientDataSet : public QObject {
    Q_OBJECT
public:
    explicit TClientDataSet(QObject* parent = nullptr);
    ~TClientDataSet() override;

    // --- fields -----------------------------------------------------------------------------
    // The attached fields in order: the persistent ones a form defined (filled by name at load)
    // or, without any, the dynamic ones made from the result.
    const QList<TField*>& Fields() const { return m_fields; }
    int FieldCount() const { return int(m_fields.size()); }
    TField* FindField(const QString& name) const; // case-insensitive; nullptr when missing
    TField* FieldByName(const QString& name) const; // DatasetError when missing
    // A new persistent field of the type, owned and attached by the dataset.
    TField* addField(const QString& name, TFieldType type, int size = 0);

    // --- opening and loading ----------------------------------------------------------------
    bool Active() const { return m_state != dsInactive; }
    TDataSetState State() const { return m_state; }
    void setProvider(TDataSetProvider* p) { m_provider = p; }
    TDataSetProvider* Provider() const { return m_provider; }
    // Closed: fetch the provider's whole result (without a provider: an empty dataset).
    void Open();
    // Fetches again; the old rows stay when the fetch fails.
    void Refresh();
    void Close(); // frees the rows and the dynamic fields; indexes and filter stay defined
    void setActive(bool a) { a ? Open() : Close(); }
    // An empty, open dataset with the defined fields.
    void CreateDataSet();
    void EmptyDataSet();
    // Replaces the rows with every remaining row of the cursor. Defined fields are filled by
    // name (columns without a field are skipped, fields without a column stay null); without
    // defined fields, one dynamic field per column. Calculated fields are computed. On failure
    // the previous rows are kept and the error passes.
    void loadFromCursor(DbCursor& cursor);

    // --- cursor -----------------------------------------------------------------------------
    void First();
    void Last();
    void Next();
    void Prior();
    int MoveBy(int distance);
    bool Bof() const { return m_bof; }
    bool Eof() const { return m_eof; }
    bool IsEmpty() const { return RecordCount() == 0; }
    int RecordCount() const; // records in view (filter applied); 0 when closed
    int RecNo() const;       // 1-based position in view, -1 when empty or closed
    void setRecNo(int recNo);
    // Physical row of the current record (stable across sorting and filtering), -1 when none.
    int Bookmark() const;
    bool BookmarkValid(int bookmark) const;
    void GotoBookmark(int bookmark); // DatasetError when the row is not in view
    // The view: physical row of each position (what a grid shows).
    int physicalRow(int viewPos) const { return m_view[size_t(viewPos)]; }
    int viewPosOf(int physRow) const; // -1 when not in view

    // --- search -----------------------------------------------------------------------------
    // keyFields "A;B"; values: one value or a QVariantList with one per field. Searches the view
    // from its first record and moves to the match. DatasetError when a value does not fit its
    // field's type or the counts differ.
    bool Locate(const QString& keyFields, const QVariant& values, TLocateOptions options = 0);

    // --- filter -----------------------------------------------------------------------------
    // Expression language: comparisons = <> < > <= >= between fields, string literals 'x' and
    // numbers; AND OR NOT, parentheses, LIKE with % and _, IS [NOT] NULL, + - * / on numbers.
    // Field names are plain identifiers or [bracketed]. String comparison is case-sensitive
    // unless foCaseInsensitive; 'abc*' compared with = matches by prefix unless
    // foNoPartialCompare. A bad expression raises DatasetError when it is applied.
    QString Filter() const { return m_filterText; }
    void setFilter(const QString& expr);
    bool Filtered() const { return m_filtered; }
    void setFiltered(bool on);
    TFilterOptions FilterOptions() const { return m_filterOptions; }
    void setFilterOptions(TFilterOptions o);

    // --- indexes ----------------------------------------------------------------------------
    // Sorting is stable: records with equal keys keep their natural order. Strings compare as
    // their GBK bytes (common Chinese characters in pinyin order), nulls first.
    void AddIndex(const QString& name, const QString& fields, TIndexOptions options = 0,
                  const QString& descFields = {}, const QString& caseInsFields = {});
    void DeleteIndex(const QString& name); // DatasetError when there is none of that name
    bool HasIndex(const QString& name) const;
    QList<TIndexDef> IndexDefs() const { return m_indexes; }
    QString IndexName() const { return m_indexName; }
    void setIndexName(const QString& name); // "" natural order; DatasetError when unknown
    // A temporary ascending index over "A;B" ("" natural order).
    QString IndexFieldNames() const { return m_indexFieldNames; }
    void setIndexFieldNames(const QString& fields);

    // --- editing ----------------------------------------------------------------------------
    void Edit();
    void Append();  // a new record after the last one
    void Insert();  // a new record before the current one
    void Post();
    void Cancel();
    void Delete();  // the current record
    // Fires for every record at load and after every post, with State() dsCalcFields: set the
    // calculated fields from the others.
    using CalcFieldsHandler = std::function<void(TClientDataSet* ds)>;
    void setOnCalcFields(CalcFieldsHandler h) { m_onCalc = std::move(h); }

    // --- controls ---------------------------------------------------------------------------
    // While disabled no change is signalled; enabling again signals one dataSetChanged().
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return m_disableCount > 0; }

    // --- internals for fields, grid and printing --------------------------------------------
    int accessRow() const { return m_accessRow; }
    // Field accessors read this physical row until the scope ends (no signal).
    class RowScope {
    public:
        RowScope(const TClientDataSet* ds, int physRow);
        ~RowScope();
        RowScope(const RowScope&) = delete;
        RowScope& operator=(const RowScope&) = delete;

    private:
        const TClientDataSet* m_ds;
        int m_saved;
    };
    dsimpl::Store* store() const { return m_store.get(); }
    // Sum of a numeric field over the records in view (nulls skipped); count of non-null values.
    double sumInView(const TField* f, int* count = nullptr) const;

Q_SIGNALS:
    void dataSetChanged();              // rows, their order, the filter or the fields changed
    void recordChanged(TField* field);  // a value of the current record changed
    void scrolled();                    // the current record moved
    void stateChanged();
    void fieldsChanged();               // fields added, removed or renamed, labels, formats

private:
    friend class TField;
    void attachField(TField* f);
    void detachField(TField* f);
    void fieldPropertyChanged();
    void checkActive() const;
    void checkBrowse();
    void setState(TDataSetState s);
    void rebuildView(int keepPhys);
    void applyStore(std::unique_ptr<dsimpl::Store> st);
    void fetch(bool keepOnFailure);
    void destroyDynamicFields();
    void bindColumns(dsimpl::Store& st);
    void calcRow(int phys);
    // Steps of a load (loadFromCursor) that touch the dataset's own state.
    void replaceDynamicFields(const dsimpl::Store& st, const QStringList& names);
    void calculateRows(std::unique_ptr<dsimpl::Store>& st);
    void setCursorPos(int pos, bool bof, bool eof, bool notify);
    void notifyDataSet();
    void notifyScroll();
    void notifyRecord(TField* f);
    void writeValue(TField* f, const QVariant& v);
    void writeUtf8(TField* f, std::string_view s);
    void beginWrite(TField* f);
    const TIndexDef* currentIndex(TIndexDef& tmp) const;

    QList<TField*> m_fields;
    std::unique_ptr<dsimpl::Store> m_store;
    std::vector<int> m_natural; // live rows in natural order
    // The rows sorted by the current index, unfiltered, kept while the index, its key columns and
    // the rows stay as they were: setting or clearing a filter on a sorted view then only picks
    // rows out of it.
    struct SortedRows {
        uint64_t rowsStamp = 0;
        std::vector<uint64_t> keys; // per key: column, case-insensitivity, direction, version
        std::vector<int> order;
    } m_sorted;
    uint64_t m_rowsStamp = 0; // bumped whenever the store, its columns or the live rows change
    std::vector<int> m_view;    // rows in view order
    int m_pos = -1;             // position in m_view
    bool m_bof = true, m_eof = true;
    mutable int m_accessRow = -1; // the row field reads address; moved by const readers too
    TDataSetState m_state = dsInactive;
    TDataSetState m_stateBeforeCalc = dsInactive;
    QPointer<TDataSetProvider> m_provider;

    QString m_filterText;
    bool m_filtered = false;
    TFilterOptions m_filterOptions = 0;
    std::shared_ptr<dsimpl::Filter> m_filter;

    QList<TIndexDef> m_indexes;
    QString m_indexName;
    QString m_indexFieldNames;

    CalcFieldsHandler m_onCalc;
    int m_disableCount = 0;

    // editing
    int m_editRow = -1;
    std::vector<QVariant> m_editSaved; // values of the row before Edit
    int m_insertBefore = -1;           // natural position of the new record
    bool m_modified = false;
};
