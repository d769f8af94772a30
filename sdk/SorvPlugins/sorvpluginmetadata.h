#ifndef SORVPLUGINMETADATA_H
#define SORVPLUGINMETADATA_H

#include <SorvPlugins/sorvgeneralplugin.h>

#include <QObject>
#include <QPointer>
#include <QtPlugin>

#include <cstddef>

// The one way a general plug-in declares itself to the host. Write, once,
// in the plug-in's source file, after the class (which derives from
// SorvGeneralPlugin, has Q_OBJECT and Q_INTERFACES(SorvGeneralPlugin), and
// no Q_PLUGIN_METADATA):
//
//     SORV_GENERAL_PLUGIN(MyPlugin)
//
// It places the plug-in metadata in the library, where the host reads it
// without running any of the plug-in's code, and defines the library's two
// entry points: qt_plugin_query_metadata(), which returns that block, and
// qt_plugin_instance(), which returns the one plug-in object, made on the
// first call and made again if someone deletes it (unloading the library
// releases only the pointer).
//
// The metadata names the general plug-in interface id as "IID", the class
// as "className", the library's build mode (debug or not) and the Qt
// version it was built with, and carries an empty "MetaData" object, which
// the suite's loaders expect of every plug-in. The block is built at
// compile time and stays byte for byte what the host has always read; a
// layout this SDK cannot vouch for (another Qt major version, a class name
// too long to encode) does not compile.
#define SORV_GENERAL_PLUGIN(PLUGINCLASS)                                                                               \
    QT_PLUGIN_METADATA_SECTION static constexpr auto qt_pluginMetaDataBlock = SorvPluginMetaData::block(#PLUGINCLASS); \
    static_assert(SorvPluginMetaData::reads(qt_pluginMetaDataBlock, #PLUGINCLASS),                                     \
                  "the plug-in metadata must read back as the general plug-in interface id and the class");            \
    static constexpr const unsigned char *qt_pluginMetaData = qt_pluginMetaDataBlock.bytes;                            \
    QT_MOC_EXPORT_PLUGIN(PLUGINCLASS, PLUGINCLASS)

// Qt's loader reads, from the .qtmetadata section: a signature, the format
// version 0, the Qt version built against, the build requirements (bit 0: a
// debug build), then a CBOR map keyed by Qt's metadata numbers.
static_assert(QT_VERSION >= QT_VERSION_CHECK(5, 13, 0) && QT_VERSION < QT_VERSION_CHECK(6, 0, 0),
              "the plug-in metadata block is laid out for the loaders of Qt 5.13 to 5.15");

namespace SorvPluginMetaData {

constexpr unsigned char signature[] = {'Q', 'T', 'M', 'E', 'T', 'A', 'D', 'A', 'T', 'A', ' ', '!'};
enum Key : unsigned char { Iid = 0x02, ClassName = 0x03, MetaData = 0x04 };
// CBOR heads: a map of unknown length and its end, an empty map, and text
// strings, whose length sits in the head below 24 bytes and in one more
// byte up to 255.
enum Cbor : unsigned char { MapStart = 0xbf, MapEnd = 0xff, EmptyMap = 0xa0, Text = 0x60, Text8 = 0x78 };

// Bytes a text of `size` bytes takes in CBOR, its head included.
constexpr std::size_t textSize(std::size_t size)
{
    return (size < 24 ? 1 : 2) + size;
}

constexpr std::size_t iidSize = sizeof(SorvGeneralPlugin_iid) - 1;
static_assert(iidSize < 256, "the interface id must be shorter than 256 bytes");

// Bytes of the block for a class name of `nameSize` bytes.
constexpr std::size_t blockSize(std::size_t nameSize)
{
    return sizeof(signature) + 4 + 1 + (1 + textSize(iidSize)) + (1 + textSize(nameSize)) + 2 + 1;
}

template<std::size_t Size>
struct Block
{
    unsigned char bytes[Size];
};

template<std::size_t Size>
constexpr void appendText(Block<Size> &block, std::size_t &at, const char *text, std::size_t size)
{
    if (size < 24) {
        block.bytes[at++] = static_cast<unsigned char>(Text | size);
    } else {
        block.bytes[at++] = Text8;
        block.bytes[at++] = static_cast<unsigned char>(size);
    }
    for (std::size_t i = 0; i < size; ++i)
        block.bytes[at++] = static_cast<unsigned char>(text[i]);
}

// The metadata block of the general plug-in class `className` (a string
// literal, as the macro passes it).
template<std::size_t N>
constexpr Block<blockSize(N - 1)> block(const char (&className)[N])
{
    static_assert(N > 1 && N - 1 < 256, "a plug-in class name must be 1 to 255 bytes long");
    Block<blockSize(N - 1)> result{};
    std::size_t at = 0;
    for (unsigned char c : signature)
        result.bytes[at++] = c;
    result.bytes[at++] = 0; // format version
    result.bytes[at++] = QT_VERSION_MAJOR;
    result.bytes[at++] = QT_VERSION_MINOR;
    result.bytes[at++] = qPluginArchRequirements();
    result.bytes[at++] = MapStart;
    result.bytes[at++] = Iid;
    appendText(result, at, SorvGeneralPlugin_iid, iidSize);
    result.bytes[at++] = ClassName;
    appendText(result, at, className, N - 1);
    result.bytes[at++] = MetaData;
    result.bytes[at++] = EmptyMap;
    result.bytes[at++] = MapEnd;
    return result;
}

// Reads the block back the way the host's loader does and answers whether
// it holds exactly the signature, the map of the interface id, className
// and an empty "MetaData", and nothing after the map's end.
template<std::size_t Size, std::size_t N>
constexpr bool reads(const Block<Size> &block, const char (&className)[N])
{
    std::size_t at = 0;
    for (unsigned char c : signature) {
        if (block.bytes[at++] != c)
            return false;
    }
    if (block.bytes[at++] != 0 || block.bytes[at++] != QT_VERSION_MAJOR || block.bytes[at++] != QT_VERSION_MINOR)
        return false;
    ++at; // build requirements
    auto text = [&block, &at](const char *expected, std::size_t size) {
        const unsigned char head = block.bytes[at++];
        std::size_t length = head & 0x1f;
        if ((head & 0xe0) != Text)
            return false;
        if (length == 24)
            length = block.bytes[at++];
        else if (length > 24)
            return false;
        if (length != size)
            return false;
        for (std::size_t i = 0; i < size; ++i) {
            if (block.bytes[at++] != static_cast<unsigned char>(expected[i]))
                return false;
        }
        return true;
    };
    return block.bytes[at++] == MapStart && block.bytes[at++] == Iid && text(SorvGeneralPlugin_iid, iidSize) &&
           block.bytes[at++] == ClassName && text(className, N - 1) && block.bytes[at++] == MetaData &&
           block.bytes[at++] == EmptyMap && block.bytes[at++] == MapEnd && at == Size;
}

} // namespace SorvPluginMetaData

#endif // SORVPLUGINMETADATA_H
