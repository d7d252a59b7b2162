#pragma once
// How the four track lists look: colours, column widths and the status drawing of their rows.
#include <QColor>
#include <QStyledItemDelegate>

#include "platform/display_texts.h"
#include "ui/track_list_view.h"

namespace ui {

enum class ListKind { Queue, GuestRequests, GuestPool, Presets };

inline const QColor kLightGreen{192, 220, 192};
inline const QColor kSkyBlue{166, 202, 240};
inline const QColor kDarkRed{128, 0, 0};
inline const QColor kTeal{0, 128, 128};
inline const QColor kBlue{0, 0, 255};
inline const QColor kRed{255, 0, 0};
inline const QColor kSplitterPurple{128, 0, 128};

// Background, hint, column widths and the drawing delegate of one list.
void ApplyListLook(TListView* list, ListKind kind, const platform::DisplayTexts* texts);

// The current and next queue rows, marked only while a deck plays or is paused.
struct QueueMarks {
    bool active = false;
    int current = -1;
    int next = -1;
};

// Draws rows by their status. It only compares indices and texts.
class ListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    ListDelegate(ListKind kind, const platform::DisplayTexts* texts, QObject* parent = nullptr);

    ListKind Kind() const { return kind_; }
    void SetQueueMarks(const QueueMarks& marks) { marks_ = marks; }
    const QueueMarks& Marks() const { return marks_; }

    // The look of a row as drawn; exposed so it can be checked without painting.
    struct RowLook {
        bool marked = false;
        QColor text, background;
        bool bold = false, struck = false;
        QString status;  // caption shown in column 0 (empty: the row's own)
    };
    RowLook LookOf(int row, const QString& status) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    QString Word(const char16_t* key) const;

    ListKind kind_;
    const platform::DisplayTexts* texts_;
    QueueMarks marks_;
};

ListDelegate* DelegateOf(const TListView* list);

// Widens the columns that are too narrow for their captions, and the status column also for
// each of `words` in bold, as the current row draws it; no column gets narrower.
void FitColumns(TListView* list, const QStringList& words);

}  // namespace ui
