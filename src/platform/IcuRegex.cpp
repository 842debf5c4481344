#include "platform/IcuRegex.h"

#include "platform/HexDigit.h"
#include "platform/Localization.h"
#include "platform/PiecewiseText.h"
#include "platform/RegexFirstAtom.h"
#include "platform/RegexLeadingLoop.h"
#include "platform/RegexLongReads.h"
#include "platform/RegexPrefixedLoop.h"
#include "platform/RegexStartFilter.h"

#include <algorithm>
#include <array>
#include <optional>
#include <unicode/regex.h>
#include <unicode/utext.h>
#include <unicode/utypes.h>

namespace dunmoss {

namespace {

const UChar* uchars(QStringView text) {
    return reinterpret_cast<const UChar*>(text.utf16());
}

// Whether a position lies between the halves of a surrogate pair, inside one character.
bool splitsPair(QStringView text, qsizetype at) {
    return at > 0 && at < text.size() && text[at - 1].isHighSurrogate() &&
           text[at].isLowSurrogate();
}

QString errorName(UErrorCode status) {
    return QString::fromLatin1(u_errorName(status));
}

uint32_t icuFlags(IcuRegex::Options options) {
    uint32_t flags = 0;
    if (options & IcuRegex::CaseInsensitive)
        flags |= UREGEX_CASE_INSENSITIVE;
    if (options & IcuRegex::AllowCommentsAndWhitespace)
        flags |= UREGEX_COMMENTS;
    if (options & IcuRegex::IgnoreMetacharacters)
        flags |= UREGEX_LITERAL;
    if (options & IcuRegex::DotMatchesLineSeparators)
        flags |= UREGEX_DOTALL;
    if (options & IcuRegex::AnchorsMatchLines)
        flags |= UREGEX_MULTILINE;
    if (options & IcuRegex::UseUnixLineSeparators)
        flags |= UREGEX_UNIX_LINES;
    if (options & IcuRegex::UseUnicodeWordBoundaries)
        flags |= UREGEX_UWORD;
    return flags;
}

// The decimal digit (any script, as ICU takes them after "$") at an index: its value and
// length in units, or a value of -1.
std::pair<int, qsizetype> digitAt(QStringView text, qsizetype i) {
    if (i >= text.size())
        return {-1, 0};
    char32_t cp = text[i].unicode();
    qsizetype units = 1;
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        cp = QChar::surrogateToUcs4(text[i], text[i + 1]);
        units = 2;
    }
    if (QChar::category(cp) != QChar::Number_DecimalDigit)
        return {-1, 0};
    return {QChar::digitValue(cp), units};
}

// "\uhhhh" or "\Uhhhhhhhh" starting at the letter. ICU reads hexadecimal digits up to the
// first one that is not; a valid escape inserts its code point, an invalid one inserts nothing
// and swallows what was read, including that first non-digit.
struct UnicodeEscape {
    std::optional<char32_t> value;
    qsizetype consumed = 0;
};

UnicodeEscape unicodeEscape(QStringView templ, qsizetype at) {
    const qsizetype digits = templ[at] == u'u' ? 4 : 8;
    char32_t value = 0;
    qsizetype read = 0;
    while (read < digits) {
        const qsizetype index = at + 1 + read;
        if (index >= templ.size())
            return {std::nullopt, 1 + read};
        const int digit = hexDigitValue(templ[index].unicode());
        if (digit < 0) {
            // The character swallowed is a whole code point, both halves of a surrogate pair.
            const bool pair = templ[index].isHighSurrogate() && index + 1 < templ.size() &&
                              templ[index + 1].isLowSurrogate();
            return {std::nullopt, 1 + read + (pair ? 2 : 1)};
        }
        value = value * 16 + char32_t(digit);
        ++read;
    }
    if (value > 0x10FFFF)
        return {std::nullopt, 1 + digits};
    return {value, 1 + digits};
}

// The character an escape naming `value` inserts, reading on from `i` past an escape that
// completes a surrogate pair. A high surrogate followed by a low one, as an escape or as the
// character itself, is the pair's character; any other surrogate would leave text that no
// encoding can store, so it inserts U+FFFD instead.
char32_t escapedCharacter(QStringView templ, qsizetype& i, char32_t value) {
    if (QChar::isLowSurrogate(value))
        return QChar::ReplacementCharacter;
    if (!QChar::isHighSurrogate(value))
        return value;
    if (i < templ.size() && templ[i].isLowSurrogate())
        return QChar::surrogateToUcs4(char16_t(value), templ[i++].unicode());
    if (i + 1 < templ.size() && templ[i] == u'\\' &&
        (templ[i + 1] == u'u' || templ[i + 1] == u'U')) {
        const UnicodeEscape low = unicodeEscape(templ, i + 1);
        if (low.value && QChar::isLowSurrogate(*low.value)) {
            i += 1 + low.consumed;
            return QChar::surrogateToUcs4(char16_t(value), char16_t(*low.value));
        }
    }
    return QChar::ReplacementCharacter;
}

void appendCodePoint(QString& out, char32_t value) {
    if (QChar::requiresSurrogates(value)) {
        out.append(QChar(QChar::highSurrogate(value)));
        out.append(QChar(QChar::lowSurrogate(value)));
    } else {
        out.append(QChar(char16_t(value)));
    }
}

std::shared_ptr<const icu::RegexPattern> compileHelper(const QString& source,
                                                       IcuRegex::Options options) {
    UParseError error{};
    UErrorCode status = U_ZERO_ERROR;
    std::shared_ptr<const icu::RegexPattern> helper(
        icu::RegexPattern::compile(icu::UnicodeString(uchars(source), int32_t(source.size())),
                                   icuFlags(options), error, status));
    return U_SUCCESS(status) ? helper : nullptr;
}

// The ASCII units one character of `atom` can be, or nothing when it does not compile.
std::optional<RegexStartFilter::UnitSet> asciiUnitsOf(const QString& atom,
                                                      IcuRegex::Options options) {
    const auto compiled = compileHelper(atom, options);
    if (!compiled)
        return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(compiled->matcher(status));
    if (U_FAILURE(status) || !matcher)
        return std::nullopt;
    RegexStartFilter::UnitSet units{};
    for (char16_t unit = 0; unit < 128; ++unit) {
        matcher->reset(icu::UnicodeString(&unit, 1));
        units[unit] = matcher->matches(status);
        if (U_FAILURE(status))
            return std::nullopt;
    }
    return units;
}

// The filter for a pattern whose matches all begin with these atoms, when it rules out enough
// of ASCII to pay.
std::shared_ptr<const RegexStartFilter> startFilterFor(const FirstAtoms& atoms,
                                                       IcuRegex::Options options) {
    const auto canStart = asciiUnitsOf(atoms.first, options);
    if (!canStart)
        return nullptr;
    const auto follower =
        atoms.follower.isEmpty() ? std::nullopt : asciiUnitsOf(atoms.follower, options);
    auto filter = std::make_shared<const RegexStartFilter>(*canStart, follower);
    return filter->rulesOutEnough() ? filter : nullptr;
}

} // namespace

RegexError::RegexError(Kind kind, QString pattern, QString icuMessage, qsizetype offset)
    : m_kind(kind), m_pattern(std::move(pattern)), m_icuMessage(std::move(icuMessage)),
      m_offset(offset) {
    m_what = (m_icuMessage + QStringLiteral(": ") + m_pattern).toStdString();
}

QString RegexError::localizedDescription() const {
    switch (m_kind) {
    case Kind::InvalidPattern:
        if (m_offset >= 0)
            return localizedString(QStringLiteral("regex.invalid-at.format"))
                .arg(m_pattern, m_icuMessage)
                .arg(m_offset);
        return localizedString(QStringLiteral("regex.invalid.format")).arg(m_pattern, m_icuMessage);
    case Kind::InvalidTemplate:
        return localizedString(QStringLiteral("regex.template-invalid.format"))
            .arg(m_pattern, m_icuMessage);
    case Kind::TimedOut:
        return localizedString(QStringLiteral("regex.timeout.format")).arg(m_pattern);
    case Kind::Cancelled:
    case Kind::MatchFailed:
        break;
    }
    return localizedString(QStringLiteral("regex.failed.format")).arg(m_pattern, m_icuMessage);
}

// One reading of the pattern as a prefix, a loop and a rest, compiled.
struct IcuRegex::PrefixedLoopPatterns {
    std::shared_ptr<const icu::RegexPattern> prefix;
    std::shared_ptr<const icu::RegexPattern> loopClass;
    std::vector<std::shared_ptr<const icu::RegexPattern>> prefixLoopClasses;
    int leastUnits = 0;
    int mostUnits = 0;
};

int IcuRegex::prefixedLoopReadings() const {
    return m_prefixedLoops ? int(m_prefixedLoops->size()) : 0;
}

IcuRegex::IcuRegex(const QString& pattern, Options options, RegexWorkBound bound)
    : m_source(pattern), m_options(options), m_bound(bound) {
    UParseError parseError{};
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString source(uchars(pattern), int32_t(pattern.size()));
    std::unique_ptr<icu::RegexPattern> compiled(
        icu::RegexPattern::compile(source, icuFlags(options), parseError, status));
    if (U_FAILURE(status) || !compiled) {
        const qsizetype offset = parseError.line <= 1 && parseError.offset >= 0
                                     ? qsizetype(parseError.offset)
                                     : qsizetype(-1);
        throw RegexError(RegexError::Kind::InvalidPattern, pattern, errorName(status), offset);
    }
    std::unique_ptr<icu::RegexMatcher> probe(compiled->matcher(status));
    if (U_FAILURE(status) || !probe)
        throw RegexError(RegexError::Kind::InvalidPattern, pattern, errorName(status));
    m_groupCount = probe->groupCount();
    m_compiled = std::move(compiled);
    // Only a bound needs it: our own patterns are written to read each unit once or so.
    m_readsInPieces = bound.isBounded() && !(options & IgnoreMetacharacters) &&
                      ((options & AllowCommentsAndWhitespace) || mayReadFarWithoutTicks(pattern));
    m_farReadsStayOnLine = m_readsInPieces && !(options & AllowCommentsAndWhitespace) &&
                           dunmoss::farReadsStayOnLine(pattern, options & DotMatchesLineSeparators,
                                                       options & CaseInsensitive);
    m_compiledInPieces = m_compiled;
    // What runs over the text in pieces judges its boundaries where they are (see
    // withBoundariesReadInPlace); what does not compile so is run as written.
    const bool freeSpacing = options & AllowCommentsAndWhitespace;
    const auto readable = [&](const QString& source) {
        return m_readsInPieces ? withBoundariesReadInPlace(source, freeSpacing) : source;
    };
    const auto compileHelper = [&](const QString& source) {
        auto helper = dunmoss::compileHelper(readable(source), options);
        return helper || readable(source) == source ? helper
                                                    : dunmoss::compileHelper(source, options);
    };
    if (const QString read = readable(pattern); read != pattern) {
        std::unique_ptr<icu::RegexPattern> rewritten(
            icu::RegexPattern::compile(icu::UnicodeString(uchars(read), int32_t(read.size())),
                                       icuFlags(options), parseError, status));
        std::unique_ptr<icu::RegexMatcher> check(
            U_SUCCESS(status) && rewritten ? rewritten->matcher(status) : nullptr);
        if (U_SUCCESS(status) && check && check->groupCount() == m_groupCount)
            m_compiledInPieces = std::move(rewritten);
        status = U_ZERO_ERROR;
    }
    if (!(options & (AllowCommentsAndWhitespace | IgnoreMetacharacters | WithoutRunSkips))) {
        if (const auto loop = analyseLeadingLoop(pattern, options & CaseInsensitive)) {
            auto loopClass = compileHelper(loop->loopClass);
            auto assertion = loop->assertion.isEmpty() ? nullptr : compileHelper(loop->assertion);
            std::vector<std::shared_ptr<const icu::RegexPattern>> atoms;
            for (const QString& atom : loop->prefixClasses)
                atoms.push_back(compileHelper(atom));
            const bool atomsCompiled = std::all_of(
                atoms.begin(), atoms.end(), [](const auto& atom) { return atom != nullptr; });
            auto rest = loop->rest.isEmpty() ? nullptr : compileHelper(loop->rest);
            if (loopClass && atomsCompiled && (loop->assertion.isEmpty() || assertion) &&
                (loop->rest.isEmpty() || rest)) {
                m_leadingLoop = std::move(loopClass);
                m_leadingAtoms = std::move(atoms);
                m_leadingAssertion = std::move(assertion);
                m_leadingOptionalAtoms = loop->optionalAtoms;
                m_leadingLoopMost = loop->loopMost;
                m_leadingRest = std::move(rest);
            }
        }
        auto readings = std::make_shared<std::vector<PrefixedLoopPatterns>>();
        for (const PrefixedLoop& loop : analysePrefixedLoops(pattern, options & CaseInsensitive)) {
            PrefixedLoopPatterns reading{compileHelper(loop.prefix),
                                         compileHelper(loop.loopClass),
                                         {},
                                         loop.leastUnits,
                                         loop.mostUnits};
            // The leading loop's skip covers a loop with nothing before it.
            if (m_leadingLoop && loop.mostUnits == 0 && loop.prefixLoopClasses.isEmpty())
                continue;
            bool compiled = reading.prefix && reading.loopClass;
            for (const QString& loopClass : loop.prefixLoopClasses) {
                reading.prefixLoopClasses.push_back(compileHelper(loopClass));
                compiled = compiled && reading.prefixLoopClasses.back();
            }
            if (compiled)
                readings->push_back(std::move(reading));
        }
        if (!readings->empty())
            m_prefixedLoops = std::move(readings);
        if (const auto atoms = analyseFirstAtoms(pattern, options & CaseInsensitive))
            m_startFilter = startFilterFor(*atoms, options);
    }
}

RegexTemplate IcuRegex::compileTemplate(QStringView templ, GroupReferences references) const {
    RegexTemplate result;
    QString literal;
    auto flushLiteral = [&] {
        if (!literal.isEmpty()) {
            result.m_pieces.push_back({literal, -1});
            literal.clear();
        }
    };
    const qsizetype length = templ.size();
    qsizetype i = 0;
    // "${name}" from the brace on: the group's number, or 0 for a malformed or unknown name.
    auto namedGroup = [&]() -> int {
        ++i;
        QString name;
        while (i < length) {
            const QChar n = templ[i++];
            if (n == u'}') {
                UErrorCode status = U_ZERO_ERROR;
                const icu::UnicodeString icuName(uchars(name), int32_t(name.size()));
                const int group = m_compiled->groupNumberFromName(icuName, status);
                return U_SUCCESS(status) && group > 0 ? group : 0;
            }
            // The characters ICU accepts in a group name here.
            if (!(n >= u'A' && n <= u'Z') && !(n >= u'a' && n <= u'z') && !(n >= u'1' && n <= u'9'))
                return 0;
            name.append(n);
        }
        return 0;
    };
    while (i < length) {
        const QChar c = templ[i];
        if (c == u'\\') {
            ++i;
            if (i >= length)
                break; // a trailing backslash inserts nothing
            if (templ[i] == u'u' || templ[i] == u'U') {
                const UnicodeEscape escape = unicodeEscape(templ, i);
                i += escape.consumed;
                if (escape.value)
                    appendCodePoint(literal, escapedCharacter(templ, i, *escape.value));
                continue;
            }
            literal.append(templ[i]);
            ++i;
            continue;
        }
        if (c != u'$') {
            literal.append(c);
            ++i;
            continue;
        }
        const qsizetype dollar = i++;
        // A reference that names no group: an error as in ICU, or, when lenient, a "$" that
        // stays as typed.
        auto unnamed = [&](UErrorCode status) {
            if (references == GroupReferences::Strict)
                throw RegexError(RegexError::Kind::InvalidTemplate, templ.toString(),
                                 errorName(status));
            literal.append(u'$');
            i = dollar + 1;
        };
        int group = 0;
        if (i < length && templ[i] == u'{') {
            group = namedGroup();
            if (group == 0) {
                unnamed(U_REGEX_INVALID_CAPTURE_GROUP_NAME);
                continue;
            }
        } else if (const auto first = digitAt(templ, i); first.first >= 0) {
            if (first.first > m_groupCount) {
                if (references == GroupReferences::Strict)
                    throw RegexError(RegexError::Kind::InvalidTemplate, templ.toString(),
                                     errorName(U_INDEX_OUTOFBOUNDS_ERROR));
                i += first.second; // a group the pattern does not have inserts nothing
                continue;
            }
            // Take digits while the number still names a group.
            for (auto digit = first; digit.first >= 0; digit = digitAt(templ, i)) {
                const int value = group * 10 + digit.first;
                if (value > m_groupCount)
                    break;
                group = value;
                i += digit.second;
            }
        } else {
            unnamed(U_REGEX_INVALID_CAPTURE_GROUP_NAME);
            continue;
        }
        flushLiteral();
        result.m_pieces.push_back({QString(), group});
    }
    flushLiteral();
    return result;
}

QString IcuRegex::escapedPattern(QStringView literal) {
    static const QString special = QStringLiteral("\\*?+[](){}^$|./-#&~ \t\n\r");
    QString out;
    out.reserve(literal.size() * 2);
    for (const QChar c : literal) {
        if (special.contains(c)) {
            if (c == u'\t')
                out.append(QStringLiteral("\\t"));
            else if (c == u'\n')
                out.append(QStringLiteral("\\n"));
            else if (c == u'\r')
                out.append(QStringLiteral("\\r"));
            else
                out.append(u'\\').append(c);
        } else {
            out.append(c);
        }
    }
    return out;
}

QString IcuRegex::escapedTemplate(QStringView literal) {
    QString out;
    out.reserve(literal.size() + 8);
    for (const QChar c : literal) {
        if (c == u'\\' || c == u'$')
            out.append(u'\\');
        out.append(c);
    }
    return out;
}

std::vector<TextRange> IcuRegex::matchRanges(QStringView text) const {
    std::vector<TextRange> ranges;
    IcuRegexMatcher matcher(*this, text);
    while (matcher.findNext())
        ranges.push_back(matcher.range());
    return ranges;
}

// State a run shares with ICU's callbacks: the work done against the bound, and the runs of
// the leading loop's class already known to hold no match start.
struct IcuRegexMatcher::Run {
    // Units read in pieces that cost ICU about a tick (0.1 ms) over the whole text, at the
    // fastest it reads: 1.3 units a nanosecond looking ahead to a line's end, 2.4 comparing a
    // back-reference (each unit read twice, once by each reader). Counted so, what ICU finishes
    // within the bound over the whole text finishes within it in pieces too.
    static constexpr int64_t kUnitsReadPerTick = 262144;

    QStringView text;
    RegexWorkBound bound;
    int64_t regionStart = 0;
    int64_t regionLimit = 0;
    // ICU counts ticks from the matcher's last reset; a skip resets it.
    int64_t ticksBeforeReset = 0;
    int64_t ticksSinceReset = 0;
    // Ticks spent by the helpers.
    int64_t helperTicks = 0;
    // The text as handed to ICU a piece at a time, and the units of the pieces handed over.
    PiecewiseText pieces;
    int64_t unitsReadInPieces = 0;
    // The runs before this one over the same text, when they share its bound, and where what
    // this one moved past was last added there.
    RegexWorkTally* tally = nullptr;
    int64_t talliedTo = 0;
    // The furthest position the run has moved past: attempts made and matches found.
    int64_t reached = 0;
    bool overBound = false;
    // The caller's stop check, asked on every tick and every 4,096 positions.
    std::function<bool()> stop;
    uint32_t positionsSinceStopCheck = 0;
    bool stopped = false;

    bool stopRequested() {
        if (stop && stop())
            stopped = true;
        return stopped;
    }

    // Skipping runs of the leading loop's class: one class per atom before the loop, then the
    // loop's own, each with what is known of every BMP unit (0 unknown, 1 in it, 2 not).
    struct UnitClass {
        std::unique_ptr<icu::RegexMatcher> matcher;
        // What is known of each unit: 0 nothing, 1 a member, 2 not. The table beyond ASCII is
        // made when first needed: clearing it costs more than a run over a short line.
        std::array<uint8_t, 128> ascii{};
        std::vector<uint8_t> wide;

        uint8_t known(char16_t unit) const {
            return unit < 0x80 ? ascii[unit] : wide.empty() ? 0 : wide[unit];
        }
        uint8_t& slot(char16_t unit) {
            if (unit < 0x80)
                return ascii[unit];
            if (wide.empty())
                wide.assign(0x10000, 0);
            return wide[unit];
        }
    };
    std::vector<std::shared_ptr<const icu::RegexPattern>> classPatterns; // outlive the matchers
    std::vector<UnitClass> classes;
    int64_t runStart = -1;   // start of the loop class's run last measured
    int64_t runEnd = -1;     // and its end
    int64_t knownRunEnd = 0; // no match starts before this inside the measured run
    int64_t skipTo = -1;
    // How many optional atoms lie among those before the loop.
    int64_t optionalAtoms = 0;
    // A bounded loop's most steps (-1 without bound), and the rest after it on its own, known to
    // fail on [restFailsFrom, restFailsTo).
    int64_t loopMost = -1;
    std::shared_ptr<const icu::RegexPattern> restPattern;
    std::unique_ptr<icu::RegexMatcher> restMatcher;
    int64_t restFailsFrom = -1;
    int64_t restFailsTo = -1;
    // The assertions before the atoms, over the same text, region and bounds as the run.
    std::shared_ptr<const icu::RegexPattern> assertionPattern;
    std::unique_ptr<icu::RegexMatcher> assertionMatcher;
    // Jumping past units that cannot start a match.
    std::shared_ptr<const RegexStartFilter> startFilter;
    RegexStartFilter::Progress startProgress;

    // The work allowed so far, in ticks, with what the runs before it moved past.
    int64_t allowance() const {
        const int64_t passed = (tally ? tally->units : 0) + reached - talliedTo;
        return bound.fixedTicks + (bound.unitsPerTick > 0 ? passed / bound.unitsPerTick : 0);
    }
    // This run's own work, in ticks.
    int64_t ownTicks() const {
        return ticksBeforeReset + ticksSinceReset + helperTicks +
               unitsReadInPieces / kUnitsReadPerTick;
    }
    // Past the bound, with the work of the runs before it: the run is to stop.
    bool passesBound() {
        if (bound.isBounded() && (tally ? tally->ticks : 0) + ownTicks() > allowance())
            overBound = true;
        return overBound;
    }

    // Adds the work so far to the tally, to be counted from there on.
    void settleTally() {
        if (!tally)
            return;
        tally->ticks += ownTicks();
        tally->units += reached - talliedTo;
        ticksBeforeReset = ticksSinceReset = helperTicks = unitsReadInPieces = 0;
        talliedTo = reached;
    }

    static bool onPiece(void* context, int64_t units) {
        auto* run = static_cast<Run*>(context);
        run->unitsReadInPieces += units;
        return !run->stopRequested() && !run->passesBound();
    }

    // A find from `at` that stops before trying the next position (see stopAtOnce): whether
    // a helper matches there, or nothing when it could not tell (it ran out of stack, or the
    // run is over its bound or asked to stop, see countHelperWork).
    std::optional<bool> matchesAt(icu::RegexMatcher& matcher, int64_t at) const {
        UErrorCode status = U_ZERO_ERROR;
        matcher.region(regionStart, regionLimit, at, status);
        const bool found = U_SUCCESS(status) && matcher.find(status);
        if (overBound || stopped)
            return std::nullopt;
        if (found && U_SUCCESS(status))
            return matcher.start64(status) == at;
        if (U_SUCCESS(status) || status == U_REGEX_STOPPED_BY_CALLER)
            return false;
        return std::nullopt;
    }

    bool assertionHoldsAt(int64_t at) {
        return !assertionMatcher || matchesAt(*assertionMatcher, at).value_or(false);
    }

    // The first position in [from, to] where the rest after a bounded loop matches, or to + 1.
    int64_t firstRestMatch(int64_t from, int64_t to) {
        int64_t k = from;
        if (from >= restFailsFrom && from <= restFailsTo)
            k = restFailsTo;
        else
            restFailsFrom = from;
        while (k <= to && !matchesAt(*restMatcher, k).value_or(true))
            ++k;
        restFailsTo = k;
        return k;
    }

    // Whether the unit is one whole character of the class. A surrogate is half of one, and a
    // carriage return may be taken together with the line feed after it. For an atom before
    // the loop, the unit must also fold to one character: a literal string that takes "ß"
    // ("ss") is one unit shorter than itself.
    bool inClass(size_t index, QChar unit) {
        return isMember(classes[index], unit, index + 1 < classes.size());
    }

    // Looked up on every unit of a run: the lookup inline, the first answer for a unit not.
    static bool isMember(UnitClass& c, QChar unit, bool foldsToOne) {
        const uint8_t known = c.known(unit.unicode());
        return (known == 0 ? learnMembership(c, unit, foldsToOne) : known) == 1;
    }

    [[gnu::noinline]] static uint8_t learnMembership(UnitClass& c, QChar unit, bool foldsToOne) {
        uint8_t& known = c.slot(unit.unicode());
        if (unit.isSurrogate() || unit == u'\r') {
            known = 2;
        } else {
            UErrorCode status = U_ZERO_ERROR;
            const UChar one = unit.unicode();
            c.matcher->reset(icu::UnicodeString(&one, 1));
            const bool matches = c.matcher->matches(status) && U_SUCCESS(status);
            known = matches && (!foldsToOne || foldsToOneCharacter(one)) ? 1 : 2;
        }
        return known;
    }

    static bool foldsToOneCharacter(UChar unit) {
        icu::UnicodeString folded(unit);
        return folded.foldCase().length() == 1;
    }

    // Where the attempt ICU made (or ruled out) just before moving on to `next` began. A find
    // moves on by whole characters, so after a surrogate pair that is two units back; the low
    // half alone was never tried, and ICU started there would read it as a character of its own.
    int64_t attemptBefore(int64_t next) const {
        return next - 2 >= regionStart && splitsPair(text, qsizetype(next - 1)) ? next - 2
                                                                                : next - 1;
    }

    // A restart never lands inside a character: one that would is moved back to its start,
    // which only tries one more position. Inside a pair ICU reads the low half as a character
    // of its own and may back up past where it began, before the text.
    int64_t characterStart(int64_t at) const {
        return splitsPair(text, qsizetype(at)) ? at - 1 : at;
    }

    // Known to rule out nothing when an attempt there fails: the unit is outside the class
    // checked first.
    bool cannotStart(QChar unit) const { return classes.front().known(unit.unicode()) == 2; }

    // After a failed attempt at the character before `next`: where the next attempt that could
    // match is, when skipping there is worth a restart.
    int64_t skipTarget(int64_t next, int64_t leastGain) {
        if (next <= knownRunEnd || next <= regionStart || next > regionLimit)
            return -1;
        const int64_t failed = attemptBefore(next);
        const int64_t atoms = int64_t(classes.size()) - 1;
        const int64_t loopStart = failed + atoms;
        if (loopStart > regionLimit)
            return -1;
        for (int64_t a = 0; a < atoms; ++a) {
            if (!inClass(size_t(a), text[failed + a]))
                return -1;
        }
        if (atoms == 0 && !inClass(0, text[failed]))
            return -1;
        if (loopStart < runStart || loopStart > runEnd) {
            runStart = runEnd = loopStart;
            while (runEnd < regionLimit && inClass(size_t(atoms), text[runEnd]))
                ++runEnd;
        }
        // A match from j needs its atoms before the run's end: j + atoms + optional <= runEnd.
        int64_t target = runEnd - atoms - optionalAtoms;
        if (loopMost >= 0) {
            // A bounded loop from a later start reaches further. The rest failed where the loop
            // from loopStart could end; past that, up to its first match, no loop from a start
            // before the target ends. The run may go on past a surrogate or a carriage return,
            // which it leaves out, so the loop might end after them.
            const bool endsThere =
                runEnd == regionLimit || !(text[runEnd].isSurrogate() || text[runEnd] == u'\r');
            int64_t match = endsThere ? runEnd + 1 : runEnd;
            if (runEnd - loopStart > loopMost) {
                if (!assertionHoldsAt(failed))
                    return -1;
                match = std::min(match, firstRestMatch(loopStart + loopMost + 1, runEnd));
            } else if (!endsThere) {
                return -1;
            }
            if (match <= runEnd)
                target = std::min(target, match - loopMost - atoms - optionalAtoms);
        }
        // A restart costs about as much as a few short attempts.
        if (target - next < leastGain || !assertionHoldsAt(failed))
            return -1;
        knownRunEnd = target;
        return target;
    }

    // Readings as a prefix, a loop and a rest, each with the run of its loop's class last
    // measured, whether the classes of the prefix's loops miss every unit of it, and the
    // starts last ruled out, [ruledFrom, ruledTo).
    struct PrefixedRun {
        const IcuRegex::PrefixedLoopPatterns* patterns = nullptr;
        std::unique_ptr<icu::RegexMatcher> prefixMatcher;
        UnitClass loopClass;
        std::vector<UnitClass> prefixLoopClasses;
        int64_t runStart = -1;
        int64_t runEnd = -1;
        bool runEnded = false;  // the unit at runEnd is not in the class
        int64_t quietUntil = 0; // no start before it is worth a look
        enum class Disjoint { Unknown, Yes, No } disjoint = Disjoint::Unknown;
        int64_t ruledFrom = 0;
        int64_t ruledTo = 0;
    };
    std::shared_ptr<const std::vector<IcuRegex::PrefixedLoopPatterns>> prefixedPatterns;
    std::vector<PrefixedRun> prefixed;

    // Where the prefix matching from `at` ends, or nothing.
    std::optional<int64_t> prefixEndAt(icu::RegexMatcher& matcher, int64_t at) const {
        UErrorCode status = U_ZERO_ERROR;
        matcher.region(regionStart, regionLimit, at, status);
        const bool found = U_SUCCESS(status) && matcher.find(status);
        if (!found || U_FAILURE(status) || overBound || stopped || matcher.start64(status) != at)
            return std::nullopt;
        const int64_t end = matcher.end64(status);
        return U_SUCCESS(status) ? std::optional<int64_t>(end) : std::nullopt;
    }

    // Makes [r.runStart, r.runEnd) a stretch of the loop's class that holds `probe`, measured
    // on to `to` or to the end of the run, whichever comes first; false when `probe` is not in
    // the class. Each unit is measured once while the probes move on.
    bool measureRun(PrefixedRun& r, int64_t probe, int64_t to) {
        if (probe < r.runStart || probe > r.runEnd || (probe == r.runEnd && r.runEnded)) {
            r.runStart = r.runEnd = probe;
            r.runEnded = false;
            r.disjoint = PrefixedRun::Disjoint::Unknown;
        }
        while (!r.runEnded && r.runEnd < to) {
            if (r.runEnd < regionLimit && isMember(r.loopClass, text[r.runEnd], false))
                ++r.runEnd;
            else
                r.runEnded = true;
        }
        return probe < r.runEnd;
    }

    // After a failed attempt at the character before `next`: the end of the starts from `next`
    // on that the reading rules out (see RegexPrefixedLoop.h), or -1.
    int64_t prefixedSkip(PrefixedRun& r, int64_t next, int64_t leastGain) {
        if (next >= r.ruledFrom && next < r.ruledTo)
            return r.ruledTo;
        if (next < r.quietUntil || next <= regionStart || next > regionLimit)
            return -1;
        const int64_t failed = attemptBefore(next);
        const int64_t most = r.patterns->mostUnits;
        const bool prefixLoops = !r.prefixLoopClasses.empty();
        // A match of the prefix from the failed start ends at most `most` units on (more only
        // past units the prefix's loops take, which the run's units are not). Only a run that
        // goes on long enough past it is worth a look.
        const int64_t probe = failed + most;
        const int64_t worthIt = next + most + leastGain + (prefixLoops ? 1 : 0);
        if (probe >= regionLimit)
            return -1;
        if (!measureRun(r, probe, worthIt) || r.runEnd < worthIt) {
            // Too short, and so is what is left of it for every later probe in it: no start is
            // worth a look until a probe reaches the next run long enough.
            // A unit outside the class at the far end of a stretch as long as needed rules out
            // every probe before it at once, so most units are never looked at.
            const int64_t needed = worthIt - probe;
            int64_t start = std::max(probe + 1, r.runEnd);
            for (;;) {
                int64_t k = start + needed - 1;
                if (k >= regionLimit) {
                    r.quietUntil = regionLimit + 1;
                    break;
                }
                while (k >= start && isMember(r.loopClass, text[k], false))
                    --k;
                if (k < start) {
                    r.quietUntil = std::max(next + 1, start - most + 1);
                    break;
                }
                start = k + 1;
            }
            return -1;
        }
        const std::optional<int64_t> q0 = prefixEndAt(*r.prefixMatcher, failed);
        if (!q0 || *q0 > r.runEnd)
            return -1;
        for (; *q0 < r.runStart; --r.runStart) {
            if (!isMember(r.loopClass, text[r.runStart - 1], false))
                return -1;
            r.disjoint = PrefixedRun::Disjoint::Unknown;
        }
        measureRun(r, probe, regionLimit);
        if (r.disjoint == PrefixedRun::Disjoint::Unknown) {
            r.disjoint = PrefixedRun::Disjoint::Yes;
            for (UnitClass& loop : r.prefixLoopClasses) {
                for (int64_t k = r.runStart; k < r.runEnd; ++k) {
                    if (isMember(loop, text[k], false)) {
                        r.disjoint = PrefixedRun::Disjoint::No;
                        break;
                    }
                }
            }
        }
        if (r.disjoint == PrefixedRun::Disjoint::No)
            return -1;
        r.ruledFrom = std::max(next, *q0 - r.patterns->leastUnits);
        if (prefixLoops)
            r.ruledFrom = std::max(r.ruledFrom, r.runStart);
        // A find may begin at the region's end, not past it, and never inside a character.
        r.ruledTo = characterStart(std::min(r.runEnd - most + (prefixLoops ? 0 : 1), regionLimit));
        return next >= r.ruledFrom && next < r.ruledTo ? r.ruledTo : -1;
    }
};

namespace {

// Ends a find after its first position: a check of that position alone.
UBool U_CALLCONV stopAtOnce(const void*, int64_t) {
    return false;
}

UBool U_CALLCONV countWork(const void* context, int32_t steps) {
    auto* run = static_cast<IcuRegexMatcher::Run*>(const_cast<void*>(context));
    run->ticksSinceReset = steps;
    return !run->stopRequested() && !run->passesBound();
}

// The work of the helpers that check assertions and a bounded loop's rest counts against the
// run's bound too, and the run's stop check ends it.
UBool U_CALLCONV countHelperWork(const void* context, int32_t) {
    auto* run = static_cast<IcuRegexMatcher::Run*>(const_cast<void*>(context));
    ++run->helperTicks;
    return !run->stopRequested() && !run->passesBound();
}

// Called after every position a find passes, so the common answers come first.
UBool U_CALLCONV notePosition(const void* context, int64_t next) {
    auto* run = static_cast<IcuRegexMatcher::Run*>(const_cast<void*>(context));
    // A piece read stopped the run: ICU reads filler since.
    if (run->stopped || run->overBound)
        return false;
    if (next > run->reached)
        run->reached = next;
    if (run->stop && ++run->positionsSinceStopCheck >= 4096) {
        run->positionsSinceStopCheck = 0;
        if (run->stopRequested())
            return false;
    }
    // No match starts in [next, ruledOutTo).
    int64_t ruledOutTo = next;
    if (!run->classes.empty() && next > run->knownRunEnd && next <= run->regionLimit &&
        !run->cannotStart(run->text[run->attemptBefore(next)])) {
        // A restart costs about as much as a few short attempts; with the start filter, the
        // jump may go on past the run.
        const int64_t target = run->skipTarget(next, run->startFilter ? 1 : 16);
        // A helper stopped the run: findNext reports why.
        if (run->overBound || run->stopped)
            return false;
        if (target >= 0) {
            if (!run->startFilter) {
                run->skipTo = target;
                return false;
            }
            ruledOutTo = target;
        }
    }
    for (IcuRegexMatcher::Run::PrefixedRun& reading : run->prefixed) {
        // Over ordinary text nearly every position ends here.
        if (next < reading.quietUntil && (next < reading.ruledFrom || next >= reading.ruledTo))
            continue;
        const int64_t target = run->prefixedSkip(reading, next, 16);
        if (run->overBound || run->stopped)
            return false;
        ruledOutTo = std::max(ruledOutTo, target);
    }
    if (!run->startFilter && ruledOutTo - next >= 4) {
        run->skipTo = ruledOutTo;
        return false;
    }
    if (run->startFilter) {
        const auto* units = reinterpret_cast<const char16_t*>(run->text.utf16());
        if (const qsizetype target =
                run->startFilter->restartTarget(units, qsizetype(next), qsizetype(ruledOutTo),
                                                qsizetype(run->regionLimit), run->startProgress);
            target >= 0) {
            run->skipTo = target;
            return false;
        }
    }
    return true;
}

// A region's edges, where one between the halves of a surrogate pair leaves that character
// out: ICU reads past a region that starts on a low half.
std::pair<qsizetype, qsizetype> keptOffPairs(QStringView text, TextRange region) {
    qsizetype start = std::clamp<qsizetype>(region.location, 0, text.size());
    if (splitsPair(text, start))
        ++start;
    qsizetype limit = std::clamp<qsizetype>(region.end(), start, text.size());
    if (limit > start && splitsPair(text, limit))
        --limit;
    return {start, limit};
}

// Room for the backtracking stack: enough for a loop over the whole text, within 8 MB to 1 GB.
int32_t stackLimitFor(qsizetype length) {
    return int32_t(std::clamp<int64_t>(int64_t(length) * 128, 8 << 20, 1 << 30));
}

// Reading in pieces, ICU's generic text path may fill its stack where its path over the whole
// text needs little: a find that passes this much is made again over the whole text, so such a
// run takes about what ICU over the whole text takes, not the most the text allows.
constexpr int32_t kStackLimitInPieces = 8 << 20;

} // namespace

IcuRegexMatcher::IcuRegexMatcher(const IcuRegex& regex, QStringView text)
    : IcuRegexMatcher(regex, text, TextRange{0, text.size()}) {}

bool RegexTextLines::allShort() const {
    if (m_allShort < 0)
        m_allShort = linesAtMost(m_text, kLongestLineReadWhole) ? 1 : 0;
    return m_allShort == 1;
}

IcuRegexMatcher::IcuRegexMatcher(const IcuRegex& regex, QStringView text, TextRange region,
                                 bool transparentBounds, bool anchoringBounds,
                                 const RegexTextLines* lines)
    : m_compiled(regex.m_compiled), m_compiledInPieces(regex.m_compiledInPieces), m_text(text),
      m_pattern(regex.m_source), m_groupCount(regex.m_groupCount),
      m_transparentBounds(transparentBounds), m_anchoringBounds(anchoringBounds),
      // Transparent bounds let the run read anywhere in the text, so all of it is measured.
      m_readsInPieces(regex.m_readsInPieces &&
                      !(regex.m_farReadsStayOnLine &&
                        (lines ? lines->allShort() : RegexTextLines(text).allShort()))) {
    UErrorCode status = U_ZERO_ERROR;
    m_matcher.reset((m_readsInPieces ? m_compiledInPieces : m_compiled)->matcher(status));
    if (U_FAILURE(status) || !m_matcher)
        throwFor(status);
    if (regex.m_bound.isBounded() || regex.m_leadingLoop || regex.m_startFilter ||
        regex.m_prefixedLoops || regex.m_readsInPieces)
        m_run = std::make_unique<Run>();
    // A matcher keeps a shallow clone of the UText: it reads the QString's own buffer. The
    // helpers below read as the run does, their pieces counted with its own.
    if (m_readsInPieces)
        m_run->pieces = PiecewiseText{text, &Run::onPiece, m_run.get()};
    const auto openWhole = [&](UText* ut) {
        if (m_readsInPieces)
            openPiecewiseText(ut, &m_run->pieces, &status);
        else
            utext_openUChars(ut, uchars(text), text.size(), &status);
    };
    UText utext = UTEXT_INITIALIZER;
    openWhole(&utext);
    m_matcher->reset(&utext);
    utext_close(&utext);
    if (U_FAILURE(status))
        throwFor(status);
    m_matcher->setStackLimit(m_readsInPieces ? kStackLimitInPieces : stackLimitFor(text.size()),
                             status);
    const auto [start, limit] = keptOffPairs(text, region);
    m_regionStart = m_nextFrom = start;
    m_regionLimit = limit;
    if (start != 0 || limit != text.size())
        m_matcher->region(start, limit, status);
    m_matcher->useTransparentBounds(transparentBounds);
    m_matcher->useAnchoringBounds(anchoringBounds);
    if (U_FAILURE(status))
        throwFor(status);
    if (!m_run)
        return;
    m_run->text = text;
    m_run->bound = regex.m_bound;
    m_run->regionStart = m_run->reached = m_run->knownRunEnd = m_run->talliedTo = start;
    m_run->regionLimit = limit;
    m_run->startFilter = regex.m_startFilter;
    if (regex.m_leadingLoop) {
        m_run->classPatterns = regex.m_leadingAtoms;
        m_run->classPatterns.push_back(regex.m_leadingLoop);
        for (const auto& pattern : m_run->classPatterns) {
            m_run->classes.push_back(
                {std::unique_ptr<icu::RegexMatcher>(pattern->matcher(status)), {}, {}});
            if (U_FAILURE(status))
                throwFor(status);
        }
        m_run->runStart = m_run->runEnd = -1;
        m_run->optionalAtoms = regex.m_leadingOptionalAtoms;
        m_run->loopMost = regex.m_leadingLoopMost;
        if (regex.m_leadingRest) {
            // Set up as the run is, as the assertions' matcher below.
            m_run->restPattern = regex.m_leadingRest;
            m_run->restMatcher.reset(regex.m_leadingRest->matcher(status));
            if (U_SUCCESS(status)) {
                UText whole = UTEXT_INITIALIZER;
                openWhole(&whole);
                m_run->restMatcher->reset(&whole);
                utext_close(&whole);
                m_run->restMatcher->useTransparentBounds(transparentBounds);
                m_run->restMatcher->useAnchoringBounds(anchoringBounds);
                m_run->restMatcher->setFindProgressCallback(stopAtOnce, nullptr, status);
                m_run->restMatcher->setMatchCallback(countHelperWork, m_run.get(), status);
            }
            if (U_FAILURE(status))
                throwFor(status);
        }
    }
    if (regex.m_prefixedLoops) {
        m_run->prefixedPatterns = regex.m_prefixedLoops;
        for (const IcuRegex::PrefixedLoopPatterns& patterns : *regex.m_prefixedLoops) {
            Run::PrefixedRun& reading = m_run->prefixed.emplace_back();
            reading.patterns = &patterns;
            reading.loopClass.matcher.reset(patterns.loopClass->matcher(status));
            for (const auto& loopClass : patterns.prefixLoopClasses)
                reading.prefixLoopClasses.push_back(
                    {std::unique_ptr<icu::RegexMatcher>(loopClass->matcher(status)), {}, {}});
            // Set up as the run is, as the assertions' matcher below.
            reading.prefixMatcher.reset(patterns.prefix->matcher(status));
            if (U_SUCCESS(status)) {
                UText whole = UTEXT_INITIALIZER;
                openWhole(&whole);
                reading.prefixMatcher->reset(&whole);
                utext_close(&whole);
                reading.prefixMatcher->useTransparentBounds(transparentBounds);
                reading.prefixMatcher->useAnchoringBounds(anchoringBounds);
                reading.prefixMatcher->setFindProgressCallback(stopAtOnce, nullptr, status);
                reading.prefixMatcher->setMatchCallback(countHelperWork, m_run.get(), status);
            }
            if (U_FAILURE(status))
                throwFor(status);
        }
    }
    if (regex.m_leadingAssertion) {
        // Set up as the run is, so it sees what the run's own look-behind sees (in ICU that
        // includes the text before an opaque region).
        m_run->assertionPattern = regex.m_leadingAssertion;
        m_run->assertionMatcher.reset(regex.m_leadingAssertion->matcher(status));
        if (U_SUCCESS(status)) {
            UText whole = UTEXT_INITIALIZER;
            openWhole(&whole);
            m_run->assertionMatcher->reset(&whole);
            utext_close(&whole);
            m_run->assertionMatcher->useTransparentBounds(transparentBounds);
            m_run->assertionMatcher->useAnchoringBounds(anchoringBounds);
            m_run->assertionMatcher->setFindProgressCallback(stopAtOnce, nullptr, status);
            m_run->assertionMatcher->setMatchCallback(countHelperWork, m_run.get(), status);
        }
    }
    if (regex.m_bound.isBounded() || regex.m_readsInPieces)
        m_matcher->setMatchCallback(countWork, m_run.get(), status);
    m_matcher->setFindProgressCallback(notePosition, m_run.get(), status);
    if (U_FAILURE(status))
        throwFor(status);
}

IcuRegexMatcher::~IcuRegexMatcher() {
    if (m_run)
        m_run->settleTally();
}

void IcuRegexMatcher::moveToRegion(TextRange region) {
    const auto [start, limit] = keptOffPairs(m_text, region);
    UErrorCode status = U_ZERO_ERROR;
    m_matcher->region(start, limit, status);
    if (U_FAILURE(status))
        throwFor(status);
    m_regionStart = m_nextFrom = start;
    m_regionLimit = limit;
    if (!m_run)
        return;
    Run& run = *m_run;
    run.settleTally();
    run.ticksBeforeReset = run.ticksSinceReset = run.helperTicks = run.unitsReadInPieces = 0;
    run.regionStart = run.reached = run.knownRunEnd = run.talliedTo = start;
    run.regionLimit = limit;
    // What was known of the runs and starts in the region before holds there only.
    run.runStart = run.runEnd = run.skipTo = run.restFailsFrom = run.restFailsTo = -1;
    run.startProgress = {};
    for (Run::PrefixedRun& reading : run.prefixed) {
        reading.runStart = reading.runEnd = -1;
        reading.runEnded = false;
        reading.quietUntil = reading.ruledFrom = reading.ruledTo = 0;
        reading.disjoint = Run::PrefixedRun::Disjoint::Unknown;
    }
}

void IcuRegexMatcher::countWorkIn(RegexWorkTally& tally) {
    if (m_run)
        m_run->tally = &tally;
}

void IcuRegexMatcher::stopWhenSet(const std::atomic<bool>& stop) {
    stopWhen([&stop] { return stop.load(std::memory_order_relaxed); });
}

void IcuRegexMatcher::stopWhen(std::function<bool()> stopRequested) {
    UErrorCode status = U_ZERO_ERROR;
    if (!m_run) {
        m_run = std::make_unique<Run>();
        m_run->text = m_text;
        m_run->regionStart = m_run->reached = m_run->knownRunEnd = m_run->talliedTo = m_regionStart;
        m_run->regionLimit = m_regionLimit;
        m_matcher->setFindProgressCallback(notePosition, m_run.get(), status);
    }
    m_run->stop = std::move(stopRequested);
    // Ticks come with backtracking, where a runaway run spends its time.
    m_matcher->setMatchCallback(countWork, m_run.get(), status);
    if (U_FAILURE(status))
        throwFor(status);
}

int64_t IcuRegexMatcher::stackLimit() const {
    return m_matcher->getStackLimit();
}

qsizetype IcuRegexMatcher::reached() const {
    return m_run ? qsizetype(m_run->reached) : m_regionStart;
}

void IcuRegexMatcher::throwFor(int status) const {
    const auto code = UErrorCode(status);
    if (m_run && m_run->stopped)
        throw RegexError(RegexError::Kind::Cancelled, m_pattern, errorName(code));
    const bool overBound = code == U_REGEX_TIME_OUT || (m_run && m_run->overBound);
    throw RegexError(overBound ? RegexError::Kind::TimedOut : RegexError::Kind::MatchFailed,
                     m_pattern, errorName(code));
}

bool IcuRegexMatcher::findNext() {
    for (;;) {
        UErrorCode status = U_ZERO_ERROR;
        const bool found = m_matcher->find(status);
        if (status == U_REGEX_STOPPED_BY_CALLER && m_run && m_run->skipTo >= 0) {
            // No match starts inside the run just measured: go on from its end. The restart
            // keeps the region and its bounds, and resets ICU's tick count.
            status = U_ZERO_ERROR;
            m_run->ticksBeforeReset += m_run->ticksSinceReset;
            m_run->ticksSinceReset = 0;
            m_nextFrom = qsizetype(m_run->characterStart(m_run->skipTo));
            m_matcher->region(m_run->regionStart, m_run->regionLimit, m_nextFrom, status);
            m_run->skipTo = -1;
            if (U_FAILURE(status))
                throwFor(status);
            continue;
        }
        if (status == U_REGEX_STACK_OVERFLOW && m_readsInPieces && m_nextFrom <= m_regionLimit) {
            readWholeTextFrom(m_nextFrom);
            continue;
        }
        if (U_FAILURE(status))
            throwFor(status);
        if (found) {
            // The next find starts at the match's end, or a character on from an empty one.
            const qsizetype end = qsizetype(m_matcher->end64(status));
            m_nextFrom = end + (m_matcher->start64(status) < end                     ? 0
                                : end < m_regionLimit && splitsPair(m_text, end + 1) ? 2
                                                                                     : 1);
        }
        if (found && m_run)
            m_run->reached = std::max<int64_t>(m_run->reached, m_matcher->end64(status));
        // A run stopped as it read a piece went on over filler; a match found after a stop is
        // not given.
        if (m_run && (m_run->stopped || m_run->overBound || (found && m_run->stopRequested())))
            throwFor(U_REGEX_STOPPED_BY_CALLER);
        // The region is done: the runs after this one see its work.
        if (!found && m_run)
            m_run->settleTally();
        return found;
    }
}

// ICU's generic text path can run out of stack where its path over the whole text does not
// (a possessive loop of what may match empty): a find that does so reading in pieces is made
// again over the whole text, and the rest of the run goes on there, answering as ICU does over
// the whole text. Stop and the bound are heard at ticks, positions and matches from then on.
void IcuRegexMatcher::readWholeTextFrom(qsizetype from) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> whole(m_compiled->matcher(status));
    if (U_FAILURE(status) || !whole)
        throwFor(status);
    UText utext = UTEXT_INITIALIZER;
    utext_openUChars(&utext, uchars(m_text), m_text.size(), &status);
    whole->reset(&utext);
    utext_close(&utext);
    whole->setStackLimit(stackLimitFor(m_text.size()), status);
    whole->useTransparentBounds(m_transparentBounds);
    whole->useAnchoringBounds(m_anchoringBounds);
    whole->region(m_regionStart, m_regionLimit, from, status);
    whole->setMatchCallback(countWork, m_run.get(), status);
    whole->setFindProgressCallback(notePosition, m_run.get(), status);
    if (U_FAILURE(status))
        throwFor(status);
    m_run->ticksBeforeReset += m_run->ticksSinceReset;
    m_run->ticksSinceReset = 0;
    m_matcher = std::move(whole);
    m_readsInPieces = false;
}

bool IcuRegexMatcher::lookingAt(qsizetype position) {
    UErrorCode status = U_ZERO_ERROR;
    if (m_run) {
        // Moving the region resets ICU's tick count.
        m_run->ticksBeforeReset += m_run->ticksSinceReset;
        m_run->ticksSinceReset = 0;
    }
    const qsizetype start = std::clamp<qsizetype>(position, 0, m_regionLimit);
    // No match begins inside a character, and ICU started there reads before it.
    if (splitsPair(m_text, start))
        return false;
    m_matcher->region(start, m_regionLimit, status);
    bool found = U_SUCCESS(status) && m_matcher->lookingAt(status);
    if (status == U_REGEX_STACK_OVERFLOW && m_readsInPieces) {
        readWholeTextFrom(std::clamp(start, m_regionStart, m_regionLimit));
        status = U_ZERO_ERROR;
        m_matcher->region(start, m_regionLimit, status);
        found = U_SUCCESS(status) && m_matcher->lookingAt(status);
    }
    if (U_FAILURE(status) || (m_run && (m_run->stopped || m_run->overBound)))
        throwFor(status);
    return found;
}

TextRange IcuRegexMatcher::range() const {
    return group(0);
}

TextRange IcuRegexMatcher::group(int number) const {
    UErrorCode status = U_ZERO_ERROR;
    const int64_t start = m_matcher->start64(number, status);
    const int64_t end = m_matcher->end64(number, status);
    if (U_FAILURE(status) || start < 0)
        return TextRange::notFound();
    return TextRange{qsizetype(start), qsizetype(end - start)};
}

QStringView IcuRegexMatcher::matchedText() const {
    const TextRange r = range();
    return m_text.sliced(r.location, r.length);
}

void IcuRegexMatcher::appendReplacement(QString& out, const RegexTemplate& templ) const {
    for (const RegexTemplate::Piece& piece : templ.m_pieces) {
        if (piece.group < 0) {
            out.append(piece.text);
            continue;
        }
        const TextRange r = group(piece.group);
        if (!r.isNotFound())
            out.append(m_text.sliced(r.location, r.length));
    }
}

QString IcuRegexMatcher::replacement(const RegexTemplate& templ) const {
    QString out;
    appendReplacement(out, templ);
    return out;
}

} // namespace dunmoss
