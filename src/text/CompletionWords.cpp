#include "text/CompletionWords.h"

#include "text/CodeCompletion.h"

#include <QCollator>
#include <algorithm>
#include <cstring>
#include <numeric>

namespace dunmoss {

namespace {

// Candidates in ranked order, split as the list shows them: those starting with the partial
// word, then the rest.
struct Ranked {
    QStringList leading;
    QStringList rest;
};

// The partial word as a case-insensitive search compares it, character by character folded;
// none when a character folds to one no word (all ASCII) holds.
std::optional<QByteArray> foldedAscii(const QString& prefix) {
    QByteArray folded;
    folded.reserve(prefix.size());
    for (const char32_t c : prefix.toUcs4()) {
        const char32_t f = QChar::toCaseFolded(c);
        if (f > 0x7f)
            return std::nullopt;
        folded.append(char(f));
    }
    return folded;
}

void stableSortIn(QStringList& words, const QCollator& collator) {
    std::stable_sort(words.begin(), words.end(), [&collator](const QString& a, const QString& b) {
        return collator.compare(a, b) < 0;
    });
}

// Both lists in order; among equals, `first`'s go first.
QStringList merged(const QStringList& first, const QStringList& second, const QCollator& collator,
                   qsizetype limit) {
    QStringList out;
    qsizetype i = 0, j = 0;
    while (out.size() < limit && (i < first.size() || j < second.size())) {
        if (j == second.size() || (i < first.size() && collator.compare(second[j], first[i]) >= 0))
            out.append(first[i++]);
        else
            out.append(second[j++]);
    }
    return out;
}

// How many units the two share at their starts (`fromEnd`: at their ends), at most `limit`.
qsizetype sharedUnits(QStringView a, QStringView b, qsizetype limit, bool fromEnd) {
    constexpr qsizetype kBlock = 4096;
    const auto at = [fromEnd](QStringView text, qsizetype offset, qsizetype length) {
        return text.data() + (fromEnd ? text.size() - offset - length : offset);
    };
    qsizetype shared = 0;
    while (shared + kBlock <= limit &&
           std::memcmp(at(a, shared, kBlock), at(b, shared, kBlock), kBlock * sizeof(QChar)) == 0)
        shared += kBlock;
    while (shared < limit && *at(a, shared, 1) == *at(b, shared, 1))
        ++shared;
    return shared;
}

std::optional<QList<QStringView>> identifiersIn(const QString& text, TextRange region,
                                                const std::function<bool()>& cancelled) {
    QList<QStringView> words;
    if (!forEachCompletionIdentifier(
            text, region, [&](QStringView word) { words.append(word); }, cancelled) ||
        (cancelled && cancelled()))
        return std::nullopt;
    return words;
}

} // namespace

bool CompletionWords::sameIdentifiers(const QString& before, const QString& after,
                                      const std::function<bool()>& cancelled) {
    const qsizetype shorter = std::min(before.size(), after.size());
    const qsizetype head = sharedUnits(before, after, shorter, false);
    if (head == before.size() && head == after.size())
        return !(cancelled && cancelled());
    const qsizetype tail = sharedUnits(before, after, shorter - head, true);
    // The whole lines around the change: no word reaches over a line feed, and no word boundary
    // depends on what lies past one.
    const qsizetype start = head == 0 ? 0 : before.lastIndexOf(u'\n', head - 1) + 1;
    const qsizetype feed = before.indexOf(u'\n', before.size() - tail);
    const qsizetype beyond = feed < 0 ? 0 : before.size() - feed;
    const std::optional<QList<QStringView>> old =
        identifiersIn(before, TextRange{start, before.size() - beyond - start}, cancelled);
    if (!old)
        return false;
    const std::optional<QList<QStringView>> now =
        identifiersIn(after, TextRange{start, after.size() - beyond - start}, cancelled);
    return now && *now == *old;
}

std::optional<CompletionWords> CompletionWords::gather(const QString& text,
                                                       const std::function<bool()>& cancelled) {
    CompletionWords gathered;
    QSet<QStringView> seen;
    const bool whole = forEachCompletionIdentifier(
        text, TextRange{0, text.size()},
        [&](QStringView word) {
            if (!seen.contains(word)) {
                seen.insert(word);
                gathered.m_words.append(word.toString());
            }
        },
        cancelled);
    if (!whole || (cancelled && cancelled()))
        return std::nullopt;
    gathered.m_set = QSet<QString>(gathered.m_words.cbegin(), gathered.m_words.cend());
    // Sort keys would compare faster, but in some locales they order otherwise than compare().
    const QCollator collator = caseInsensitiveCollator();
    std::vector<qsizetype> order(size_t(gathered.m_words.size()));
    std::iota(order.begin(), order.end(), 0);
    const QStringList& words = gathered.m_words;
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        return collator.compare(words[a], words[b]) < 0;
    });
    if (cancelled && cancelled())
        return std::nullopt;
    QStringList sorted;
    sorted.reserve(gathered.m_words.size());
    gathered.m_starts.reserve(order.size());
    gathered.m_folded.append('\n');
    for (const qsizetype index : order) {
        const QString& word = gathered.m_words[index];
        sorted.append(word);
        gathered.m_starts.push_back(gathered.m_folded.size());
        gathered.m_folded.append(word.toLatin1().toLower()).append('\n');
    }
    gathered.m_words = std::move(sorted);
    if (cancelled && cancelled())
        return std::nullopt;
    std::vector<std::pair<QByteArrayView, qsizetype>> byFolded;
    byFolded.reserve(order.size());
    for (qsizetype index = 0; index < qsizetype(order.size()); ++index)
        byFolded.emplace_back(gathered.foldedAt(index), index);
    std::sort(byFolded.begin(), byFolded.end(), [](const auto& a, const auto& b) {
        const int compared = a.first.compare(b.first);
        return compared < 0 || (compared == 0 && a.second < b.second);
    });
    gathered.m_byFolded.reserve(byFolded.size());
    for (const auto& [folded, index] : byFolded)
        gathered.m_byFolded.push_back(index);
    return gathered;
}

QByteArrayView CompletionWords::foldedAt(qsizetype index) const {
    const qsizetype start = m_starts[size_t(index)];
    const qsizetype end =
        size_t(index) + 1 < m_starts.size() ? m_starts[size_t(index) + 1] : m_folded.size();
    return QByteArrayView(m_folded).sliced(start, end - 1 - start);
}

void CompletionWords::forEachPossibleLeadingMatch(
    const QString& prefix, const std::function<bool(const QString&)>& take) const {
    // A word (all ASCII) starts with the partial word in lower case only when that is ASCII too,
    // and then the word's own lower case starts with it.
    const QString lower = prefix.toLower();
    if (lower.isEmpty() ||
        std::any_of(lower.cbegin(), lower.cend(), [](QChar c) { return c.unicode() > 0x7f; }))
        return;
    const QByteArray key = lower.toLatin1();
    const auto head = [this, &key](qsizetype index) {
        const QByteArrayView folded = foldedAt(index);
        return folded.first(std::min(folded.size(), key.size()));
    };
    const auto first = std::partition_point(m_byFolded.begin(), m_byFolded.end(),
                                            [&](qsizetype i) { return head(i).compare(key) < 0; });
    const auto last = std::partition_point(first, m_byFolded.end(),
                                           [&](qsizetype i) { return head(i).compare(key) == 0; });
    // Smallest place first: the words in their ranked order, only as many as are taken.
    std::vector<qsizetype> places(first, last);
    std::make_heap(places.begin(), places.end(), std::greater<>());
    while (!places.empty()) {
        std::pop_heap(places.begin(), places.end(), std::greater<>());
        const qsizetype place = places.back();
        places.pop_back();
        if (!take(m_words[place]))
            return;
    }
}

void CompletionWords::forEachPossibleMatch(const QString& prefix,
                                           const std::function<bool(const QString&)>& take) const {
    if (prefix.isEmpty()) {
        for (const QString& word : m_words)
            if (!take(word))
                return;
        return;
    }
    const std::optional<QByteArray> needle = foldedAscii(prefix);
    if (!needle)
        return;
    const char* const begin = m_folded.constData();
    const char* const end = begin + m_folded.size();
    qsizetype last = -1;
    for (const char* at = begin; at < end;) {
        const void* hit = memmem(at, size_t(end - at), needle->constData(), size_t(needle->size()));
        if (!hit)
            return;
        const qsizetype position = static_cast<const char*>(hit) - begin;
        const qsizetype index =
            qsizetype(std::upper_bound(m_starts.begin(), m_starts.end(), position) -
                      m_starts.begin()) -
            1;
        if (index >= 0 && index != last) {
            last = index;
            if (!take(m_words[index]))
                return;
        }
        at = static_cast<const char*>(hit) + 1;
    }
}

QStringList CompletionWords::inRegion(const QString& text, TextRange region) {
    QStringList words;
    QSet<QStringView> seen;
    forEachCompletionIdentifier(text, region, [&](QStringView word) {
        if (!seen.contains(word)) {
            seen.insert(word);
            words.append(word.toString());
        }
    });
    return words;
}

QStringList wordCompletions(const CompletionWords& gathered, const QStringList& added,
                            const QString& text, EditorLanguage language,
                            const QString& partialWord, TextRange selectedRange,
                            const std::optional<QUrl>& fileURL, qsizetype* wordsRead) {
    const QString prefix = partialWord.trimmed();
    qsizetype read = 0;
    const QCollator collator = caseInsensitiveCollator();
    QSet<QString> seen;
    const auto rank = [&prefix](const QString& candidate, Ranked& into) {
        (isCompletionPrefixMatch(candidate, prefix) ? into.leading : into.rest).append(candidate);
    };

    // The few fixed candidates come first among equals, as they come first in the text's order.
    Ranked fixed;
    for (const QString& candidate : leadingCompletions(text, language, selectedRange, fileURL)) {
        if (!offersCompletion(candidate, prefix) || seen.contains(candidate))
            continue;
        seen.insert(candidate);
        rank(candidate, fixed);
    }
    stableSortIn(fixed.leading, collator);
    stableSortIn(fixed.rest, collator);

    // Already in order: each scan stops once its part alone fills the list, and the words that
    // hold the partial word elsewhere are read only when those starting with it leave room.
    Ranked fromText;
    const auto offered = [&](const QString& word) {
        ++read;
        return offersCompletion(word, prefix) && !seen.contains(word);
    };
    gathered.forEachPossibleLeadingMatch(prefix, [&](const QString& word) {
        if (offered(word) && isCompletionPrefixMatch(word, prefix))
            fromText.leading.append(word);
        return fromText.leading.size() < kCompletionLimit;
    });

    Ranked typed;
    for (const QString& word : added) {
        if (!offersCompletion(word, prefix) || seen.contains(word) || gathered.contains(word))
            continue;
        seen.insert(word);
        rank(word, typed);
    }
    stableSortIn(typed.leading, collator);
    stableSortIn(typed.rest, collator);

    QStringList result = merged(merged(fixed.leading, fromText.leading, collator, kCompletionLimit),
                                typed.leading, collator, kCompletionLimit);
    if (result.size() < kCompletionLimit) {
        gathered.forEachPossibleMatch(prefix, [&](const QString& word) {
            if (offered(word) && !isCompletionPrefixMatch(word, prefix))
                fromText.rest.append(word);
            return fromText.rest.size() < kCompletionLimit;
        });
        result += merged(merged(fixed.rest, fromText.rest, collator, kCompletionLimit), typed.rest,
                         collator, kCompletionLimit - result.size());
    }
    if (wordsRead)
        *wordsRead = read;
    return result;
}

} // namespace dunmoss
