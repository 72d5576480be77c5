#include "ui/TroubleReports.h"

#include <QAbstractItemModel>
#include <QLineEdit>
#include <QListWidget>

#include "engine/DryRun.h"
#include "ui/Colours.h"
#include "ui/MainWindow.h"
#include "ui/MainWindowHost.h"
#include "ui/TroubleState.h"
#include "ui/WindowWidgets.h"

namespace kest {

namespace {

// A channel that says its failure as a reason, empty once it works again.
void follow(TroubleState& trouble, Trouble kind, const QString& reason) {
    if (reason.isEmpty()) {
        trouble.clear(kind);
    } else {
        trouble.set(kind, reason);
    }
}

}  // namespace

void reportChannelTrouble(F_MAIN& window, TroubleState& trouble) {
    F_MAIN* w = &window;
    QObject::connect(w->COMM, &SerialChannel::portStateChanged, &trouble, [w, &trouble](bool open) {
        follow(trouble, Trouble::SerialPort,
               open ? QString()
                    : QStringLiteral("COM port %1 not open: %2")
                          .arg(w->INP_COMMPORT->text().trimmed(), w->COMM->failureReason()));
    });
    QObject::connect(w->tcpChannel, &TcpChannel::failureChanged, &trouble,
                     [&trouble](const QString& reason) { follow(trouble, Trouble::Tcp, reason); });
    QObject::connect(w->fileChannel, &FileChannel::failureChanged, &trouble,
                     [&trouble](const QString& reason) { follow(trouble, Trouble::File, reason); });
}

void markRulesNotTyped(F_MAIN& window, const Clock& clock) {
    F_MAIN* w = &window;
    QListWidget* list = w->LST_TOUCHES[1];
    QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, list,
                     [w, list, &clock](const QModelIndex&, int first, int last) {
                         for (int row = first; row <= last; ++row) {
                             QListWidgetItem* item = list->item(row);
                             const std::string why = replacementNotTyped(
                                 toCp1252(item->text()), w->host().dryRunSettings(), clock);
                             if (why.empty()) continue;
                             item->setBackground(ROUGE());
                             item->setToolTip(QStringLiteral("not typed: ") + fromCp1252(why));
                         }
                     });
}

}  // namespace kest
