#pragma once
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// Every key of the settings store, with the form its value is stored in and the default its readers
// pass. Readers and writers name a key as `settings::Key::MovieWillFloat`, never by its text; reading
// and saving are in platform/Settings.h.
namespace settings {

// How a value is stored, and so what a typed read gives.
enum class Type : uint8_t {
    Flag,   // "True" or "False"; read as a Boolean
    Number, // decimal text; read as a signed 16-bit integer
    Text,   // kept as given: a path, a colour number, the text of a box
};

// Defaults that are known only as the program runs.
enum class Computed : uint8_t {
    No,
    MediaPath,  // the default media file in the program's data folder
    HomeFolder, // the folder a folder choice starts in when none was remembered
};

struct Default {
    constexpr Default(const char* text) : text(text) {}
    constexpr Default(Computed computed) : computed(computed) {}
    std::string_view text;
    Computed computed = Computed::No;
};

// The table: key as stored (names compare without case; these are the spellings written), stored
// form, default. "DoNotIgnoreMouseMovent" is spelled so in every file written so far.
// clang-format off
#define LUMORA_SETTINGS_KEYS(X)                                                        \
    X(AbsoluteFullScreenDisplayMode,      Flag,   "False")                             \
    X(ThreeQuartersScreenMode,            Flag,   "False")                             \
    X(OneHalfScreenDisplayMode,           Flag,   "False")                             \
    X(OneFourthScreenDisplayMode,         Flag,   "False")                             \
    X(OneEighthScreenDisplayMode,         Flag,   "True")                              \
    X(OneSixteenthScreenDisplayMode,      Flag,   "False")                             \
    X(WidthOfScreenResolution,            Number, "640")                               \
    X(HeightOfScreenResolution,           Number, "480")                               \
    X(MovieWillFloat,                     Number, "1")                                 \
    X(MovingMovieSpeed,                   Number, "50")                                \
    X(PictureTrails,                      Number, "1")                                 \
    X(GradOn,                             Number, "0")                                 \
    X(Red_Level,                          Text,   "255")                               \
    X(Green_Level,                        Text,   "255")                               \
    X(Blue_Level,                         Text,   "255")                               \
    X(FireGradInterval,                   Number, "6000")                              \
    X(BackDropColor,                      Text,   "0")                                 \
    X(PlaySingleFile,                     Flag,   "True")                              \
    X(PlayMultipleFiles,                  Flag,   "False")                             \
    X(VideoFile,                          Text,   Computed::MediaPath)                 \
    X(PlayInRandomOrder,                  Flag,   "False")                             \
    X(FileNotToRepeat,                    Text,   "")                                  \
    X(PathToLastDirectory,                Text,   Computed::HomeFolder)                \
    X(PathToLastDirectoryFormDrag,        Text,   "")                                  \
    X(PathToLastDirectoryFrmFileLister,   Text,   Computed::HomeFolder)                \
    X(AMoviePositionTopWhenClosedFourth,  Text,   "")                                  \
    X(AMoviePositionLeftWhenClosedFourth, Text,   "")                                  \
    X(MouseSensitivity,                   Text,   "4")                                 \
    X(IgnoreMouseMovement,                Flag,   "False")                             \
    X(DoNotIgnoreMouseMovent,             Flag,   "True")                              \
    X(ScreensaverSoundMutePreference,     Number, "0")                                 \
    X(EveryMonitor,                       Text,   "Primary")
// clang-format on

enum class Id : uint8_t {
#define LUMORA_SETTINGS_ID(name, type, value) name,
    LUMORA_SETTINGS_KEYS(LUMORA_SETTINGS_ID)
#undef LUMORA_SETTINGS_ID
};

struct KeyInfo {
    Id id;
    std::string_view name;
    Type type;
    Default fallback;
};

inline constexpr std::array kKeys{
#define LUMORA_SETTINGS_ROW(name, type, value) KeyInfo{Id::name, #name, Type::type, Default(value)},
    LUMORA_SETTINGS_KEYS(LUMORA_SETTINGS_ROW)
#undef LUMORA_SETTINGS_ROW
};

// Any key; the typed ones below say what a read gives and a save takes.
struct KeyRef {
    Id id;
    constexpr const KeyInfo& info() const { return kKeys[static_cast<std::size_t>(id)]; }
};
template <Type T> struct TypedKey : KeyRef {};
using FlagKey = TypedKey<Type::Flag>;
using NumberKey = TypedKey<Type::Number>;
using TextKey = TypedKey<Type::Text>;

struct Key {
#define LUMORA_SETTINGS_HANDLE(name, type, value) static constexpr TypedKey<Type::type> name{{Id::name}};
    LUMORA_SETTINGS_KEYS(LUMORA_SETTINGS_HANDLE)
#undef LUMORA_SETTINGS_HANDLE
};

// Readers whose own default differs from the key's, on purpose: what they do with a missing key is
// what users of fresh settings see.
enum class Reader : uint8_t {
    Any,
    // Fresh settings: the program starts the floating player for the one-eighth mode, and the player
    // sizes itself as one-fourth and changes its gradient every 30 s.
    FloatingPlayer,
    // The players' first read of VideoFile, the name they start on: a missing key names no file the
    // player could be given, so the default clip plays before a play list.
    StartUpName,
};

struct ReaderDefault {
    Id id;
    Reader reader;
    Default fallback;
};

inline constexpr std::array kReaderDefaults{
    ReaderDefault{Id::OneFourthScreenDisplayMode, Reader::FloatingPlayer, "True"},
    ReaderDefault{Id::OneEighthScreenDisplayMode, Reader::FloatingPlayer, "False"},
    ReaderDefault{Id::FireGradInterval, Reader::FloatingPlayer, "30000"},
    ReaderDefault{Id::VideoFile, Reader::StartUpName, "/lumora.mpg"},
};

// The default `reader` passes for `key`.
constexpr Default defaultOf(KeyRef key, Reader reader = Reader::Any) {
    for (const ReaderDefault& d : kReaderDefaults)
        if (d.id == key.id && d.reader == reader) return d.fallback;
    return key.info().fallback;
}

// The default of a number key, and of a text key whose default is a number (a colour level).
constexpr int defaultNumber(KeyRef key, Reader reader = Reader::Any) {
    const std::string_view text = defaultOf(key, reader).text;
    const bool negative = !text.empty() && text.front() == '-';
    int value = 0;
    for (char c : text.substr(negative ? 1 : 0))
        value = value * 10 + (c - '0');
    return negative ? -value : value;
}

constexpr bool defaultFlag(FlagKey key, Reader reader = Reader::Any) {
    return defaultOf(key, reader).text == std::string_view("True");
}

inline QString nameOf(KeyRef key) {
    const std::string_view name = key.info().name;
    return QString::fromLatin1(name.data(), qsizetype(name.size()));
}

namespace detail {
constexpr bool isDecimal(std::string_view text) {
    if (!text.empty() && text.front() == '-') text.remove_prefix(1);
    if (text.empty() || text.size() > 5) return false;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return value <= 32767;
}
constexpr bool tableSound() {
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        const KeyInfo& k = kKeys[i];
        if (static_cast<std::size_t>(k.id) != i) return false;
        if (k.fallback.computed != Computed::No && k.type != Type::Text) return false;
        if (k.type == Type::Flag && k.fallback.text != "True" && k.fallback.text != "False") return false;
        if (k.type == Type::Number && !isDecimal(k.fallback.text)) return false;
    }
    for (const ReaderDefault& d : kReaderDefaults) {
        const Type type = kKeys[static_cast<std::size_t>(d.id)].type;
        if (type == Type::Flag && d.fallback.text != "True" && d.fallback.text != "False") return false;
        if (type == Type::Number && !isDecimal(d.fallback.text)) return false;
    }
    return true;
}
} // namespace detail

// A Boolean default that no conversion takes, or a number default that a 16-bit read would refuse,
// would only show when a key is missing: the build refuses it instead.
static_assert(detail::tableSound());

} // namespace settings
