#include "editor/LongLineDocumentLayout.h"
#include "editor/TextStorageRegistry.h"

#include <QCoreApplication>
#include <QPointer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>
#include <QThreadPool>
#include <atomic>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

QString documentCharacters(QTextDocument* document) {
    QTextCursor cursor(document);
    cursor.select(QTextCursor::Document);
    return cursor.selectedText();
}

// What a user's edit in a document does: typed text with line feeds as breaks.
void typeInto(QTextDocument* document, int position, int removeLength, const QString& text) {
    QTextCursor cursor(document);
    cursor.setPosition(position);
    cursor.setPosition(position + removeLength, QTextCursor::KeepAnchor);
    cursor.insertText(text);
}

} // namespace

TEST(TextStorageRegistry, CreatesOnFirstUsePrunesAndFills) {
    TextStorageRegistry registry;
    const QUuid a = QUuid::createUuid();
    const QUuid b = QUuid::createUuid();
    const auto first = registry.textStorage(a);
    EXPECT_EQ(registry.textStorage(a), first);
    EXPECT_TRUE(first->text().isEmpty());
    registry.textStorage(b);
    registry.pruneTextStorages({a, b, QUuid::createUuid()});
    EXPECT_EQ(registry.storages().size(), 2);
    registry.pruneTextStorages({a});
    EXPECT_TRUE(registry.contains(a));
    EXPECT_FALSE(registry.contains(b));
    registry.pruneTextStorages({});
    EXPECT_TRUE(registry.storages().isEmpty());

    // A storage first met by a programmatic edit starts with the tab's text.
    const auto filled = registry.textStorage(b, QStringLiteral("tab text"));
    EXPECT_EQ(filled->text(), QStringLiteral("tab text"));
    EXPECT_EQ(registry.textStorage(b, QStringLiteral("other"))->text(), QStringLiteral("tab text"));
}

TEST(TextStorage, DocumentsKeepTheFilesTrueCharactersInStep) {
    TextStorage storage;
    const QString text = QStringLiteral("a\r\nb") + QChar(0x2029) + QStringLiteral("c") +
                         QChar(0x2028) + QStringLiteral("d\re") + QChar(0xFDD0);
    storage.replaceAll(text);
    QTextDocument* primary = storage.acquireDocument();
    QTextDocument* mirror = storage.acquireDocument();
    ASSERT_NE(primary, mirror);
    for (QTextDocument* document : {primary, mirror}) {
        EXPECT_EQ(document->characterCount() - 1, text.size());
        EXPECT_FALSE(document->isUndoRedoEnabled());
    }
    // An edit far from the special characters leaves them as they were.
    typeInto(primary, 0, 0, QStringLiteral("X\n"));
    EXPECT_EQ(storage.text(), QStringLiteral("X\n") + text);
    EXPECT_EQ(documentCharacters(mirror), documentCharacters(primary));
    // Typing next to the U+2029 keeps it; a typed break becomes a line feed.
    const int separator = int(storage.text().indexOf(QChar(0x2029)));
    typeInto(mirror, separator + 1, 0, QStringLiteral("\n"));
    EXPECT_EQ(storage.text().at(separator), QChar(0x2029));
    EXPECT_EQ(storage.text().at(separator + 1), QChar(u'\n'));
    EXPECT_EQ(primary->characterCount() - 1, storage.length());
    EXPECT_EQ(storage.text().count(QChar(u'\r')), 2);
}

TEST(TextStorage, ABreakTypedBesideAFileSeparatorLandsOnItsOwnSide) {
    // A typed break and the file's U+2029 (or CR) look alike in a document; each edit must
    // still land on the side of the file's character where it was made.
    const QString ps(QChar(0x2029));
    const struct {
        QString before;
        int position;
        int remove;
        QString typed;
        QString after;
    } cases[] = {
        {QStringLiteral("A") + ps + QStringLiteral("B"), 1, 0, QStringLiteral("\n"),
         QStringLiteral("A\n") + ps + QStringLiteral("B")},
        {QStringLiteral("A") + ps + QStringLiteral("B"), 2, 0, QStringLiteral("\n"),
         QStringLiteral("A") + ps + QStringLiteral("\nB")},
        {QStringLiteral("A\n") + ps + QStringLiteral("B"), 1, 1, QString(),
         QStringLiteral("A") + ps + QStringLiteral("B")},
        {QStringLiteral("A") + ps + QStringLiteral("\nB"), 2, 1, QString(),
         QStringLiteral("A") + ps + QStringLiteral("B")},
        {QStringLiteral("A\rB"), 1, 0, QStringLiteral("\n"), QStringLiteral("A\n\rB")},
        {QStringLiteral("A\rB"), 2, 0, QStringLiteral("\n"), QStringLiteral("A\r\nB")},
    };
    for (const auto& c : cases) {
        TextStorage storage;
        storage.replaceAll(c.before);
        QTextDocument* document = storage.acquireDocument();
        typeInto(document, c.position, c.remove, c.typed);
        EXPECT_EQ(storage.text(), c.after) << c.position;
    }
}

TEST(TextStorage, RandomEditsInAnyDocumentKeepEveryDocumentInStep) {
    TextStorage storage;
    storage.replaceAll(QStringLiteral("one\ntwo\nthree\n"));
    QList<QTextDocument*> documents{storage.acquireDocument(), storage.acquireDocument(),
                                    storage.acquireDocument()};
    QString model = storage.text();
    QRandomGenerator random(42);
    const QStringList pieces{QStringLiteral("x"), QStringLiteral("\n"),  QStringLiteral("ab\ncd"),
                             QStringLiteral(""),  QStringLiteral("\t "), QStringLiteral("é")};
    for (int i = 0; i < 400; ++i) {
        QTextDocument* document = documents[random.bounded(int(documents.size()))];
        const int position = random.bounded(int(model.size()) + 1);
        const int remove = random.bounded(int(model.size()) - position + 1) % 4;
        const QString piece = pieces[random.bounded(int(pieces.size()))];
        typeInto(document, position, remove, piece);
        model.replace(position, remove, piece);
        ASSERT_EQ(storage.text(), model) << i;
    }
    for (QTextDocument* document : documents)
        EXPECT_EQ(documentCharacters(document),
                  QString(model).replace(QChar(u'\n'), QChar(0x2029)));
}

TEST(TextStorage, InputHeldTwiceWaitsForBothHoldersThenFollowsInTheOrderGiven) {
    TextStorage storage;
    const int command = 0, fill = 0;
    QStringList ran;
    storage.holdInput(&command);
    storage.holdInput(&fill);
    storage.deferInput([&] { ran << QStringLiteral("first"); });
    storage.releaseInput(true, &command);
    EXPECT_TRUE(storage.isInputHeld());
    storage.deferInput([&] { ran << QStringLiteral("second"); });
    EXPECT_TRUE(ran.isEmpty());
    storage.releaseInput(true, &fill);
    EXPECT_FALSE(storage.isInputHeld());
    EXPECT_EQ(ran, (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
}

TEST(TextStorage, ReportsTypingWithItsOriginAndProgrammaticEditsWithoutOne) {
    TextStorage storage;
    QTextDocument* primary = storage.acquireDocument();
    QSignalSpy captured(&storage, &TextStorage::changeCaptured);
    QSignalSpy edited(&storage, &TextStorage::edited);
    typeInto(primary, 0, 0, QStringLiteral("hello"));
    ASSERT_EQ(captured.count(), 1);
    ASSERT_EQ(edited.count(), 1);
    const auto change = edited.at(0).at(0).value<TextStorage::Change>();
    EXPECT_EQ(change.origin, primary);
    EXPECT_EQ(change.kind, TextStorage::EditKind::Typing);
    EXPECT_EQ(change.inserted, QStringLiteral("hello"));

    // Replacing "ell" by "ELL" is reported as the minimal change.
    typeInto(primary, 1, 3, QStringLiteral("eLl"));
    const auto minimal = edited.last().at(0).value<TextStorage::Change>();
    EXPECT_EQ(minimal.position, 2);
    EXPECT_EQ(minimal.removed, QStringLiteral("l"));
    EXPECT_EQ(minimal.inserted, QStringLiteral("L"));

    const quint64 generation = storage.typingGeneration();
    storage.applyEdit(0, 1, QStringLiteral("J"));
    EXPECT_EQ(storage.text(), QStringLiteral("JeLlo"));
    EXPECT_EQ(edited.last().at(0).value<TextStorage::Change>().kind,
              TextStorage::EditKind::UndoRedo);
    EXPECT_NE(storage.typingGeneration(), generation);
    EXPECT_EQ(captured.count(), 2); // programmatic edits are not typing
    storage.applyEdit(4, 5, QStringLiteral("out of range"));
    EXPECT_EQ(storage.text(), QStringLiteral("JeLlo"));
}

TEST(TextStorage, MirrorsAreDeletedOnReleaseAndThePrimaryReused) {
    TextStorage storage;
    storage.replaceAll(QStringLiteral("text"));
    QTextDocument* primary = storage.acquireDocument();
    QPointer<QTextDocument> mirror = storage.acquireDocument();
    EXPECT_TRUE(storage.isShownByAView());
    storage.releaseDocument(mirror);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(mirror.isNull());
    storage.releaseDocument(primary);
    EXPECT_FALSE(storage.isShownByAView());
    EXPECT_EQ(storage.acquireDocument(), primary);
    EXPECT_EQ(primary->characterCount() - 1, 4);
}

// A storage let go takes its primary document apart on a pool thread once no view shows it;
// one still shown goes with the storage at once, as the view showing it expects.
TEST(TextStorage, AStorageLetGoTakesItsDocumentApartAsideOnlyWhenNoViewShowsIt) {
    for (const bool released : {true, false}) {
        SCOPED_TRACE(released);
        auto storage = std::make_unique<TextStorage>();
        storage->replaceAll(QStringLiteral("a line\nanother\n"));
        QTextDocument* primary = storage->acquireDocument();
        std::atomic<bool> gone = false;
        std::atomic<bool> goneAside = false;
        QObject::connect(primary, &QObject::destroyed, [&] {
            goneAside = QThread::currentThread() != qApp->thread();
            gone = true;
        });
        if (released)
            storage->releaseDocument(primary);
        storage.reset();
        if (!released) {
            EXPECT_TRUE(gone);
            EXPECT_FALSE(goneAside);
            continue;
        }
        QThreadPool::globalInstance()->waitForDone();
        EXPECT_TRUE(gone);
        EXPECT_TRUE(goneAside);
    }
}

TEST(TextStorage, ADocumentFilledOnAnotherThreadServesAsThePrimary) {
    const QString text = QStringLiteral("first\r\nline") + QChar(0xFDD1) + QStringLiteral("\nend");
    std::unique_ptr<QTextDocument> prepared;
    QThread* worker = QThread::create([&] {
        prepared = TextStorage::prepareDocument(text);
        prepared->moveToThread(QCoreApplication::instance()->thread());
    });
    worker->start();
    ASSERT_TRUE(worker->wait(10'000));
    delete worker;

    TextStorageRegistry registry;
    const QUuid id = QUuid::createUuid();
    QTextDocument* document = prepared.get();
    ASSERT_TRUE(
        registry.adoptTextStorage(id, std::make_shared<TextStorage>(text, std::move(prepared))));
    EXPECT_FALSE(registry.adoptTextStorage(id, std::make_shared<TextStorage>()));
    const std::shared_ptr<TextStorage> storage = registry.textStorage(id);
    EXPECT_EQ(storage->text(), text);
    EXPECT_EQ(storage->acquireDocument(), document);
    EXPECT_EQ(documentCharacters(document),
              TextStorage::displayForm(text).replace(u'\n', QChar(0x2029)));
    EXPECT_FALSE(document->isUndoRedoEnabled());
    // Laid out and inset as the documents the storage makes itself.
    EXPECT_NE(qobject_cast<LongLineDocumentLayout*>(document->documentLayout()), nullptr);
    EXPECT_EQ(document->documentMargin(), TextStorage().primaryDocument()->documentMargin());

    // Typing and mirrors work on it as on any primary.
    QTextDocument* mirror = storage->acquireDocument();
    typeInto(document, 0, 5, QStringLiteral("1st"));
    EXPECT_EQ(storage->text(),
              QStringLiteral("1st\r\nline") + QChar(0xFDD1) + QStringLiteral("\nend"));
    EXPECT_EQ(documentCharacters(mirror), documentCharacters(document));
}

namespace {

QString longLines(int count) {
    QString text;
    for (int line = 0; line < count; ++line)
        text += QStringLiteral("line %1 of a text long enough to be copied aside\n").arg(line);
    return text;
}

bool waitForPool() {
    const bool done = QThreadPool::globalInstance()->waitForDone(30'000);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    return done;
}

} // namespace

TEST(TextStorage, AKeyAfterAnotherReaderTookTheTextUsesACopyMadeAsideAndLeavesTheReaderAlone) {
    TextStorage storage;
    storage.replaceAll(longLines(8'000));
    QTextDocument* document = storage.acquireDocument();
    typeInto(document, 5, 0, QStringLiteral("a"));
    // As an autosave's saved copy holds it.
    const QString reader = storage.text();
    storage.keepSpareIfHeldElsewhere();
    ASSERT_TRUE(waitForPool());
    ASSERT_TRUE(storage.hasSpare());
    QString expected = reader;
    expected.insert(reader.size() - 3, QStringLiteral("typed"));
    typeInto(document, int(reader.size() - 3), 0, QStringLiteral("typed"));
    EXPECT_EQ(storage.text(), expected);
    EXPECT_EQ(documentCharacters(document).size(), expected.size());
    EXPECT_NE(storage.text().constData(), reader.constData());
    EXPECT_EQ(reader, QString(expected).remove(reader.size() - 3, 5));
    EXPECT_FALSE(storage.hasSpare());
    // Not held by anyone else any more: nothing is copied.
    storage.keepSpareIfHeldElsewhere();
    ASSERT_TRUE(waitForPool());
    EXPECT_FALSE(storage.hasSpare());
}

TEST(TextStorage, ACopyMadeAsideForATextChangedMeanwhileIsNeverTaken) {
    TextStorage storage;
    storage.replaceAll(longLines(8'000));
    QTextDocument* document = storage.acquireDocument();
    typeInto(document, 0, 0, QStringLiteral("a"));
    const QString reader = storage.text();
    storage.keepSpareIfHeldElsewhere();
    // Typed before the copy is back: it is of the text before this key.
    typeInto(document, 1, 0, QStringLiteral("b"));
    ASSERT_TRUE(waitForPool());
    EXPECT_FALSE(storage.hasSpare());
    typeInto(document, 2, 0, QStringLiteral("c"));
    EXPECT_EQ(storage.text(), QStringLiteral("abc") + reader.mid(1));
    EXPECT_TRUE(reader.startsWith(QStringLiteral("aline 0")));
    // A replacement of the whole text outdates a copy too.
    const QString held = storage.text();
    storage.keepSpareIfHeldElsewhere();
    storage.replaceAll(QStringLiteral("short"));
    ASSERT_TRUE(waitForPool());
    EXPECT_FALSE(storage.hasSpare());
    EXPECT_EQ(storage.text(), QStringLiteral("short"));
}

TEST(TextStorage, RandomEditsWithReadersComingAndGoingKeepTheTextAndEveryReadersCopyRight) {
    TextStorage storage;
    QString expected = longLines(8'000);
    storage.replaceAll(expected);
    QTextDocument* document = storage.acquireDocument();
    QRandomGenerator random(33);
    std::vector<std::pair<QString, QString>> readers; // what each holds, and what it took
    for (int step = 0; step < 300; ++step) {
        const int length = int(expected.size());
        // Mostly near one end or the other, sometimes anywhere.
        const int where = random.bounded(3);
        int position = where == 0   ? random.bounded(std::min(length, 200))
                       : where == 1 ? length - random.bounded(std::min(length, 200))
                                    : random.bounded(length + 1);
        const int removed = std::min(int(random.bounded(4)), length - position);
        const QString inserted = QString(int(random.bounded(3)), QChar(u'a' + step % 26));
        typeInto(document, position, removed, inserted);
        expected.replace(position, removed, inserted);
        ASSERT_EQ(storage.text(), expected) << "step " << step;
        switch (random.bounded(6)) {
        case 0:
            readers.emplace_back(storage.text(),
                                 QString(storage.text().constData(), storage.text().size()));
            break;
        case 1:
            storage.keepSpareIfHeldElsewhere();
            break;
        case 2:
            if (!readers.empty())
                readers.erase(readers.begin() + random.bounded(int(readers.size())));
            break;
        case 3:
            QCoreApplication::processEvents();
            break;
        case 4:
            if (random.bounded(4) == 0) {
                ASSERT_TRUE(waitForPool());
            }
            break;
        default:
            break;
        }
    }
    ASSERT_TRUE(waitForPool());
    EXPECT_EQ(storage.text(), expected);
    EXPECT_EQ(documentCharacters(document).size(), expected.size());
    for (const auto& [held, taken] : readers)
        EXPECT_EQ(held, taken);
}

TEST(TextStorage, NoCopyIsMadeAsideOfATextNeverEditedNorOfAStorageThatWent) {
    auto storage = std::make_unique<TextStorage>();
    storage->replaceAll(longLines(8'000));
    const QString reader = storage->text();
    storage->keepSpareIfHeldElsewhere();
    ASSERT_TRUE(waitForPool());
    EXPECT_FALSE(storage->hasSpare()) << "a file only opened got a second copy";
    typeInto(storage->acquireDocument(), 0, 0, QStringLiteral("x"));
    const QString held = storage->text();
    storage->keepSpareIfHeldElsewhere();
    storage.reset();
    EXPECT_TRUE(waitForPool());
    EXPECT_TRUE(held.startsWith(QStringLiteral("xline 0")));
}
