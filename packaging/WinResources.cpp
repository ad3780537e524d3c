// vrt-win-resources: writes what Windows itself reads from the program's
// file, drawn from the same resource data as the rest of the program:
//
//   vrt-win-resources FOLDER
//
// FOLDER/VRT58DSPUpdater.ico       icon 128: every picture at 4 bits per
//                                  pixel with its transparency mask
// FOLDER/VRT58DSPUpdater.manifest  common controls 6, per-monitor DPI
//                                  awareness, no elevation
// FOLDER/VRT58DSPUpdater.rc        the resource script windres compiles:
//                                  the icon, the manifest, the version
//
// The cross build compiles this tool with the machine's own compiler and
// runs it before windres; it needs nothing but the C++ library.

#include "platform/IconBitmap.h"
#include "resources/Resources.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::string_view NAME = "VRT58DSPUpdater";

void PutLittle16(Bytes& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutLittle32(Bytes& out, std::uint32_t value)
{
    PutLittle16(out, static_cast<std::uint16_t>(value));
    PutLittle16(out, static_cast<std::uint16_t>(value >> 16));
}

// An .ico file: the directory, then each picture as IconDib lays it out.
bool Ico(const platform::IconResource& icon, Bytes& out)
{
    std::vector<Bytes> pictures;
    for (const platform::IconImage& image : icon.images) {
        auto dib = platform::IconDib(image);
        if (!dib) {
            return false;
        }
        pictures.push_back(std::move(*dib));
    }
    if (pictures.empty()) {
        return false;
    }
    PutLittle16(out, 0);  // reserved
    PutLittle16(out, 1);  // an icon, not a cursor
    PutLittle16(out, static_cast<std::uint16_t>(pictures.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * pictures.size());
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const platform::IconImage& image = icon.images[i];
        out.push_back(static_cast<std::uint8_t>(image.width == 256 ? 0 : image.width));
        out.push_back(static_cast<std::uint8_t>(image.height == 256 ? 0 : image.height));
        out.push_back(16);  // colours
        out.push_back(0);
        PutLittle16(out, 1);  // planes
        PutLittle16(out, 4);  // bits per pixel
        PutLittle32(out, static_cast<std::uint32_t>(pictures[i].size()));
        PutLittle32(out, offset);
        offset += static_cast<std::uint32_t>(pictures[i].size());
    }
    for (const Bytes& picture : pictures) {
        out.insert(out.end(), picture.begin(), picture.end());
    }
    return true;
}

std::string Dotted(const std::array<std::uint16_t, 4>& version, const char* separator)
{
    std::string text;
    for (std::size_t i = 0; i < version.size(); ++i) {
        if (i != 0) {
            text += separator;
        }
        text += std::to_string(version[i]);
    }
    return text;
}

// A string literal of the resource compiler.
std::string Quoted(std::string_view text)
{
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') {
            quoted += "\"\"";
        } else if (c == '\\') {
            quoted += "\\\\";
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

std::string Manifest(const resources::VersionInfo& version)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
           "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
           "  <assemblyIdentity type=\"win32\" name=\"" + std::string(NAME) + "\" version=\"" +
           Dotted(version.productVersion, ".") + "\" processorArchitecture=\"amd64\"/>\n"
           "  <description>" + std::string(version.productName) + "</description>\n"
           "  <dependency>\n"
           "    <dependentAssembly>\n"
           "      <assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"\n"
           "                        processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>\n"
           "    </dependentAssembly>\n"
           "  </dependency>\n"
           "  <trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">\n"
           "    <security>\n"
           "      <requestedPrivileges>\n"
           "        <requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>\n"
           "      </requestedPrivileges>\n"
           "    </security>\n"
           "  </trustInfo>\n"
           "  <application xmlns=\"urn:schemas-microsoft-com:asm.v3\">\n"
           "    <windowsSettings>\n"
           "      <dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm</dpiAware>\n"
           "      <dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2, PerMonitor</dpiAwareness>\n"
           "    </windowsSettings>\n"
           "  </application>\n"
           "  <compatibility xmlns=\"urn:schemas-microsoft-com:compatibility.v1\">\n"
           "    <application>\n"
           "      <supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>\n"
           "    </application>\n"
           "  </compatibility>\n"
           "</assembly>\n";
}

std::string Script(const resources::VersionInfo& version, const std::string& folder)
{
    char translation[32];
    std::snprintf(translation, sizeof translation, "%04X%04X", version.language, version.codePage);
    char varTranslation[32];
    std::snprintf(varTranslation, sizeof varTranslation, "0x%04X, %u", version.language,
                  static_cast<unsigned>(version.codePage));

    std::string values;
    const auto value = [&values](std::string_view key, std::string_view text) {
        if (!text.empty()) {
            values += "      VALUE " + Quoted(key) + ", " + Quoted(text) + "\n";
        }
    };
    value("CompanyName", version.companyName);
    value("FileDescription", version.fileDescription);
    value("FileVersion", Dotted(version.fileVersion, "."));
    value("InternalName", version.internalName);
    value("LegalCopyright", version.legalCopyright);
    value("OriginalFilename", version.originalFilename);
    value("ProductName", version.productName);
    value("ProductVersion", Dotted(version.productVersion, "."));

    const std::string base = folder + "/" + std::string(NAME);
    return "// Generated by vrt-win-resources from the program's resource data.\n"
           "#pragma code_page(65001)\n"
           "\n"
           "// The program's icon, IDR_MAINFRAME.\n"
           + std::to_string(IDR_MAINFRAME) + " ICON " + Quoted(base + ".ico") + "\n"
           "\n"
           "// The application manifest (RT_MANIFEST, the process's own).\n"
           "1 24 " + Quoted(base + ".manifest") + "\n"
           "\n"
           "1 VERSIONINFO\n"
           "FILEVERSION " + Dotted(version.fileVersion, ",") + "\n"
           "PRODUCTVERSION " + Dotted(version.productVersion, ",") + "\n"
           "FILEFLAGSMASK 0x3F\n"
           "FILEFLAGS 0x0\n"
           "FILEOS 0x40004\n"      // VOS_NT_WINDOWS32
           "FILETYPE 0x1\n"        // VFT_APP
           "FILESUBTYPE 0x0\n"
           "BEGIN\n"
           "  BLOCK \"StringFileInfo\"\n"
           "  BEGIN\n"
           "    BLOCK \"" + std::string(translation) + "\"\n"
           "    BEGIN\n" + values +
           "    END\n"
           "  END\n"
           "  BLOCK \"VarFileInfo\"\n"
           "  BEGIN\n"
           "    VALUE \"Translation\", " + std::string(varTranslation) + "\n"
           "  END\n"
           "END\n";
}

bool Write(const std::string& path, const void* data, std::size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) {
        std::remove(path.c_str());
        std::fprintf(stderr, "vrt-win-resources: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: vrt-win-resources FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    const platform::IconResource* icon = resources::FindIcon(IDR_MAINFRAME);
    Bytes ico;
    if (icon == nullptr || !Ico(*icon, ico)) {
        std::fprintf(stderr, "vrt-win-resources: the icon has no picture of 16 colours\n");
        return 1;
    }
    const resources::VersionInfo& version = resources::VersionResource();
    const std::string manifest = Manifest(version);
    const std::string script = Script(version, folder);
    const std::string base = folder + "/" + std::string(NAME);
    const bool written = Write(base + ".ico", ico.data(), ico.size()) &&
                         Write(base + ".manifest", manifest.data(), manifest.size()) &&
                         Write(base + ".rc", script.data(), script.size());
    return written ? 0 : 1;
}
