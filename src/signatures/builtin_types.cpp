// The built-in table: the groups and file types a fresh installation knows, in creation order.
// The order of the types is the scan order, and the scanner relies on it: the four types that
// share the TIFF byte-order marks are tried NEF, Pentax, Sony, TIFF, so a TIFF-structured file
// is typed "NEF Foto"; ZIP precedes JAR and GZIP precedes GZ, so the later rows only win where
// the earlier do not match; the three RIFF rows differ in their second condition.
#include <initializer_list>
#include <string_view>
#include <vector>

#include "signatures/file_types.h"

namespace {

using Conditions = std::vector<SignatureCondition>;

SignatureCondition Hex(uint32_t kind, int32_t offset, std::initializer_list<uint8_t> bytes) {
  return SignatureCondition::WithPayload(kind, offset, std::vector<uint8_t>(bytes));
}

SignatureCondition Text(uint32_t kind, int32_t offset, std::string_view text) {
  return SignatureCondition::WithPayload(kind, offset,
                                         std::vector<uint8_t>(text.begin(), text.end()));
}

// "eXtended" follows the eight bytes of the TIFF header of a Xerox image file.
constexpr int32_t kXeroxOffset = 8;
// The image count of an icon file lies between 1 and 255: an icon has at least one image, and
// larger counts are not met in practice but would make random data match far more often.
constexpr uint8_t kIconCountMin = 1;
constexpr uint8_t kIconCountMax = 255;

class TableBuilder {
 public:
  void operator()(int32_t id, int32_t group, std::u16string_view description,
                  std::u16string_view extensions, std::u16string_view prefix,
                  std::initializer_list<Conditions> signatures, std::u16string_view title = {}) {
    FileType type;
    type.TypeId = id;
    type.GroupId = group;
    type.SetTitle(title);
    type.SetDescription(description);
    type.SetExtensions(extensions);
    type.SetNamePrefix(prefix);
    for (const Conditions& conditions : signatures)
      type.Signatures.push_back(Signature{{}, {}, conditions});
    type.SignatureCount = static_cast<int32_t>(type.Signatures.size());
    types.push_back(std::move(type));
  }

  std::vector<FileType> types;
};

}  // namespace

std::vector<FileType> BuiltinGroups() {
  return {
      FileType::Group(GroupDocuments, u"Documents"),
      FileType::Group(GroupArchives, u"Archives"),
      FileType::Group(GroupDatabases, u"Databases"),
      FileType::Group(GroupImages, u"Images"),
      FileType::Group(GroupPhotos, u"Photos"),
      FileType::Group(GroupVideo, u"Video"),
      FileType::Group(GroupAudio, u"Audio"),
      FileType::Group(GroupStorages, u"Storages and Drive images"),
      FileType::Group(GroupMobile, u"Mobile"),
      FileType::Group(GroupExecutable, u"Executable"),
      FileType::Group(GroupEmail, u"E-mail"),
  };
}

// Ids chosen here, where the table has none of its own: 267 "Microsoft PocketPC Buckup",
// 801 "Outlook Express E-mail Folder", 802 "Microsoft Access Database", 803 "Microsoft
// Cardfile", 612 "Best Crypt Disk Image". Each stays clear of every other row, of the ids the
// compound-document rules assign (501-523) and of the record ids up to 29.
std::vector<FileType> BuiltinTypes() {
  TableBuilder add;
  add(47, GroupDocuments, u"Portable Document Format (Adobe Acrobat)", u"PDF", u"adobe",
      {{Text(CondBytes, 0, "%PDF-1.")}});
  add(42, GroupDocuments, u"WordPerfect Format", u"WPC", u"document",
      {{Hex(CondDword, 0, {0xFF, 0x57, 0x50, 0x43})}});
  add(46, GroupDocuments, u"Microsoft Write", u"WRI", u"document",
      {{Hex(CondBytes, 1,
            {0xBE, 0x00, 0x00, 0x00, 0xAB, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00})}});
  add(45, GroupDocuments, u"Microsoft Reader Document (Windows CE)", u"LIT", u"document",
      {{Text(CondBytes, 0, "ITOLITLS")}});
  add(41, GroupDocuments, u"Rich Text Format", u"RTF", u"document",
      {{Text(CondBytes, 0, "{\\rtf")}});
  add(60, GroupDocuments, u"DjVu Text Format", u"DJVU;DJV", u"document",
      {{Text(CondBytes, 0, "AT&TFORM")}});
  add(82, GroupDocuments, u"Adobe Encapsulated PostScript", u"EPS", u"adobe",
      {{Text(CondBytes, 0, "%!PS-Adobe")}});
  add(51, GroupDocuments, u"XML File", u"XML", u"xml",
      {{Text(CondBytes, 0, "<?xml ")}, {Text(CondBytes, 0, "<?XML ")}});
  add(52, GroupDocuments, u"HTML Hypertext Web Document", u"HTML;HTM", u"web_document",
      {{Text(CondFindText, 0, "<HTML")}, {Text(CondFindText, 0, "<!DOCTYPE HTML")}});
  add(44, GroupDocuments, u"HTML Help File", u"CHM", u"help",
      {{Hex(CondQword, 0, {0x49, 0x54, 0x53, 0x46, 0x03, 0x00, 0x00, 0x00})}});
  add(43, GroupDocuments, u"Windows Help File", u"HLP", u"help",
      {{Hex(CondDword, 0, {0x3F, 0x5F, 0x03, 0x00})}});
  add(48, GroupDocuments, u"Lotus 1-2-3/Symphony Document", u"WKS", u"document",
      {{Hex(CondBytes, 0, {0x00, 0x00, 0x02, 0x00, 0x04})}});
  add(50, GroupDocuments, u"Business Card (vCard)", u"VCF", u"vCard",
      {{Text(CondBytes, 0, "BEGIN:VCARD")}});
  add(54, GroupDocuments, u"Internet shortcut file", u"URL", u"url",
      {{Text(CondBytes, 0, "[InternetShortcut]")}});
  add(200, GroupAudio, u"Windows Audio", u"WAV", u"audio",
      {{Text(CondDword, 0, "RIFF"), Text(CondBytes, 8, "WAVEfmt")}});
  add(220, GroupAudio, u"MIDI Audio (.MID, .MIDI, .KAR, .RMI)", u"MID,MIDI,KAR,RMI", u"audio",
      {{Hex(CondQword, 0, {0x4D, 0x54, 0x68, 0x64, 0x00, 0x00, 0x00, 0x06})}});
  add(202, GroupAudio, u"OGG Audio", u"OGG", u"audio",
      {{Hex(CondQword, 0, {0x4F, 0x67, 0x67, 0x53, 0x00, 0x02, 0x00, 0x00})}});
  add(221, GroupAudio, u"Digital Speech Standard", u"DSS", u"audio",
      {{Hex(CondDword, 0, {0x02, 0x64, 0x75, 0x75})}});
  add(222, GroupAudio, u"AU Audio", u"AU,SND", u"audio",
      {{Hex(CondDword, 0, {0x2E, 0x73, 0x6E, 0x64})}});
  add(223, GroupAudio, u"AIF Audio", u"AIF,AIFF,AIFC", u"audio",
      {{Text(CondDword, 0, "FORM"), Text(CondBytes, 8, "AIF")}});
  add(224, GroupAudio, u"M3U Play List File", u"M3U", u"audio", {{Text(CondBytes, 0, "#EXTM3U")}});
  add(226, GroupAudio, u"Creative Voice File", u"VOC", u"audio",
      {{Text(CondBytes, 0, "Creative Voice File")}});
  add(227, GroupAudio, u"Audio Visual Research File", u"AVR", u"audio",
      {{Text(CondDword, 0, "2BIT")}});
  add(83, GroupImages, u"JPEG Image", u"JPG,JPEG,JPE,JFIF,JFI", u"image",
      {{Hex(CondDword, 0, {0xFF, 0xD8, 0xFF, 0xE1})},
       {Hex(CondDword, 0, {0xFF, 0xD8, 0xFF, 0xE0})}});
  add(525, GroupImages, u"Bitmap Image", u"BMP", u"image",
      {{Text(CondWord, 0, "BM"), Hex(CondDword, 6, {0x00, 0x00, 0x00, 0x00})}});
  add(85, GroupImages, u"GIF Image", u"GIF", u"image",
      {{Text(CondDword, 0, "GIF8"), Hex(CondByte, 5, {0x61})}});
  add(88, GroupImages, u"PNG Image", u"PNG", u"image",
      {{Hex(CondQword, 0, {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A}),
        Hex(CondQword, 8, {0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52})}});
  add(89, GroupImages, u"Photoshop Document", u"PSD", u"image",
      {{Hex(CondQword, 0, {0x38, 0x42, 0x50, 0x53, 0x00, 0x01, 0x00, 0x00})}});
  add(91, GroupImages, u"Windows Metafile", u"WMF,MET", u"image",
      {{Hex(CondDword, 0, {0xD7, 0xCD, 0xC6, 0x9A}), Hex(CondWord, 4, {0x00, 0x00})}});
  add(92, GroupImages, u"TrueType Font File", u"TTF", u"image",
      {{Hex(CondDword, 0, {0x00, 0x01, 0x00, 0x00}), Text(CondDword, 12, "OS/2")}});
  add(93, GroupImages, u"Paint Shop Pro Image", u"PSP", u"image",
      {{Text(CondBytes, 0, "Paint Shop Pro Image File")}});
  add(94, GroupImages, u"Corel Draw", u"CDR", u"image",
      {{Text(CondDword, 0, "RIFF"), Text(CondBytes, 8, "CDR")}});
  add(95, GroupImages, u"Xerox Image Format", u"XIF", u"image",
      {{Text(CondBytes, 0, "II*"), Text(CondQword, kXeroxOffset, "eXtended")}});
  add(90, GroupImages, u"Icon File", u"ICO", u"image",
      {{Hex(CondDword, 0, {0x00, 0x00, 0x01, 0x00}),
        Hex(CondWordRange, 4, {kIconCountMin, 0x00, kIconCountMax, 0x00}),
        Hex(CondByte, 9, {0x00})}});
  add(96, GroupImages, u"AutoCAD Drawing", u"DWG", u"image",
      {{Hex(CondDword, 0, {0x2A, 0x38, 0x78, 0x02})}});
  add(97, GroupImages, u"AutoCAD Drawing", u"DXF", u"image", {{Text(CondBytes, 4, "SECTION")}});
  add(110, GroupPhotos, u"Minolta RAW. Raster image from a Minolta digital camera", u"MRW",
      u"foto_image", {{Hex(CondDword, 0, {0x00, 0x4D, 0x52, 0x4D})}});
  add(111, GroupPhotos, u"Canon RAW. Photograph from a Canon camera", u"CRW,CR2", u"foto_image",
      {{Text(CondBytes, 8, "HEAPCCDR")},
       {Text(CondBytes, 8, "HEAPJPGM")},
       {Text(CondBytes, 8, "HEAPTIFP")},
       {Text(CondBytes, 8, "HEAPARCH")}});
  add(112, GroupPhotos, u"Digital Camera RAW. Photograph from a Kodak digital camera", u"DCR",
      u"foto_image", {{Text(CondDword, 0, "RIFX")}, {Text(CondDword, 0, "XFIR")}});
  add(117, GroupPhotos, u"Fuji RAW. Raster image from a Fuji digital camera", u"RAF", u"foto_image",
      {{Text(CondBytes, 0, "FUJIFILM")}});
  add(114, GroupPhotos, u"NEF Foto", u"NEF", u"foto_image",
      {{Hex(CondDword, 0, {0x4D, 0x4D, 0x00, 0x2A})},
       {Hex(CondDword, 0, {0x49, 0x49, 0x2A, 0x00})}});
  add(115, GroupPhotos, u"Olympus Raw Format", u"ORF", u"foto_image",
      {{Text(CondDword, 0, "IIRS")}});
  add(116, GroupPhotos, u"Pentax Electronic Format", u"PEF", u"foto_image",
      {{Hex(CondDword, 0, {0x4D, 0x4D, 0x00, 0x2A})},
       {Hex(CondDword, 0, {0x49, 0x49, 0x2A, 0x00})}});
  add(118, GroupPhotos, u"Sony RAW File", u"SRF", u"foto_image",
      {{Hex(CondDword, 0, {0x4D, 0x4D, 0x00, 0x2A})},
       {Hex(CondDword, 0, {0x49, 0x49, 0x2A, 0x00})}});
  add(87, GroupImages, u"TIFF Image", u"TIFF,TIF", u"image",
      {{Hex(CondDword, 0, {0x4D, 0x4D, 0x00, 0x2A})},
       {Hex(CondDword, 0, {0x49, 0x49, 0x2A, 0x00})}});
  add(160, GroupVideo, u"ASF", u"ASF", u"video",
      {{Hex(CondQword, 0, {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11}),
        Hex(CondQword, 8, {0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C})}});
  add(150, GroupVideo, u"RealMedia File", u"RM", u"video", {{Text(CondDword, 0, ".RMF")}});
  add(170, GroupVideo, u"QuickTime (Rich Media Format)", u"MOV,QT,PKG,M2S,MPGX,MPM,QTIF,QTI",
      u"quicktime",
      {{Text(CondDword, 4, "moov")},
       {Text(CondDword, 4, "pnot")},
       {Text(CondDword, 4, "mdat")},
       {Text(CondDword, 4, "wide")},
       {Text(CondDword, 4, "vide")},
       {Text(CondDword, 4, "trak")},
       {Text(CondDword, 4, "skip")},
       {Text(CondDword, 4, "MPEG")},
       {Text(CondDword, 4, "strm")},
       {Text(CondDword, 4, "free")}});
  add(524, GroupVideo, u"AVI (RIFF Video Format)", u"AVI", u"video",
      {{Text(CondDword, 0, "RIFF"), Text(CondBytes, 8, "AVI LIST")}});
  add(181, GroupVideo, u"Mobile Phone Video", u"3GP", u"mobile_video",
      {{Text(CondBytes, 4, "ftyp3gp")}});
  add(141, GroupVideo, u"MPEG-4 Video File", u"MP4", u"video",
      {{Text(CondDword, 4, "ftyp"), Text(CondBytes, 16, "mp4")}});
  add(265, GroupMobile, u"SymbianOS Installer File", u"SIS", u"mobile_content",
      {{Hex(CondDword, 6, {0x04, 0x19, 0x10, 0x00}), Hex(CondWord, 10, {0x10, 0x00})}});
  add(266, GroupMobile, u"Microsoft PocketPC Word", u"PSW", u"mobile_content",
      {{Text(CondBytes, 0, "{\\pwi")}});
  add(267, GroupMobile, u"Microsoft PocketPC Buckup", u"PBF", u"mobile_content",
      {{Text(CondBytes, 0, "POCKETPCIMAGE")}});
  add(300, GroupArchives, u"PkZIP/WinZIP Archive File", u"ZIP", u"archive",
      {{Hex(CondDword, 0, {0x50, 0x4B, 0x03, 0x04})}});
  add(330, GroupArchives, u"TAR Archive File", u"TAR", u"archive",
      {{Text(CondBytes, 257, "ustar")}});
  add(310, GroupArchives, u"RAR Archive File", u"RAR", u"archive",
      {{Text(CondDword, 0, "Rar!")}, {Hex(CondBytes, 4, {0x1A, 0x07, 0x00})}});
  add(320, GroupArchives, u"ARJ Archive File", u"ARJ", u"archive",
      {{Hex(CondWord, 0, {0x60, 0xEA})}});
  add(331, GroupArchives, u"GZIP Archive File", u"GZIP", u"archive",
      {{Hex(CondWord, 0, {0x1F, 0x8B})}});
  add(332, GroupArchives, u"ACE Archive File", u"ACE", u"archive",
      {{Text(CondBytes, 7, "**ACE**")}});
  add(333, GroupArchives, u"LZH Archive File", u"LZH", u"archive",
      {{Text(CondBytes, 2, "-lh")}, {Text(CondBytes, 2, "-lz")}});
  add(334, GroupArchives, u"HA Archive File", u"HA", u"archive", {{Text(CondWord, 0, "HA")}});
  add(335, GroupArchives, u"HYP Archive File", u"HYP", u"archive",
      {{Hex(CondBytes, 0, {0x1A, 0x48, 0x50})}, {Hex(CondBytes, 0, {0x1A, 0x53, 0x54})}});
  add(336, GroupArchives, u"MS Cabinet File", u"CAB", u"archive",
      {{Hex(CondQword, 0, {0x4D, 0x53, 0x43, 0x46, 0x00, 0x00, 0x00, 0x00})}});
  add(337, GroupArchives, u"ZOO Archive File", u"ZOO", u"archive", {{Text(CondDword, 0, "ZOO ")}});
  add(338, GroupArchives, u"JAR Archive File", u"JAR", u"archive",
      {{Hex(CondQword, 0, {0x50, 0x4B, 0x03, 0x04, 0x14, 0x00, 0x08, 0x00})},
       {Hex(CondBytes, 0, {0x4A, 0x41, 0x52, 0x43, 0x53, 0x00})}});
  add(339, GroupArchives, u"Z Archive File", u"Z", u"archive",
      {{Hex(CondBytes, 0, {0x1F, 0x9D, 0x90})}});
  add(344, GroupArchives, u"GZ Archive File", u"GZ", u"archive",
      {{Hex(CondBytes, 0, {0x1F, 0x8B, 0x08})}});
  add(345, GroupArchives, u"7Z Archive File", u"7Z", u"archive",
      {{Text(CondWord, 0, "7z"), Hex(CondDword, 2, {0xBC, 0xAF, 0x27, 0x1C})}});
  add(340, GroupArchives, u"AIN Archive File", u"AIN", u"archive",
      {{Hex(CondDword, 0, {0x21, 0x12, 0x00, 0x00})}});
  add(341, GroupArchives, u"BZIP Archive File", u"BZIP,BZI", u"archive",
      {{Text(CondBytes, 0, "BZh91AY&SY")}});
  add(342, GroupArchives, u"RK Archive File", u"RK", u"archive", {{Text(CondDword, 0, "RKA7")}});
  add(343, GroupArchives, u"UC2 Archive File", u"UC2", u"archive",
      {{Hex(CondDword, 0, {0x55, 0x43, 0x32, 0x1A})}});
  add(400, GroupExecutable, u"DOS Executable File", u"EXE", u"executable",
      {{Text(CondWord, 0, "MZ")}}, u"EXE-DOS");
  add(411, GroupExecutable, u"LIBCOFF Executable File", u"LIB", u"executable",
      {{Hex(CondQword, 0, {0x21, 0x3C, 0x61, 0x72, 0x63, 0x68, 0x3E, 0x0A})}}, u"EXE-LIBCOFF");
  add(412, GroupExecutable, u"MSLIB Executable File", u"LIB", u"executable",
      {{Hex(CondDword, 0, {0xF0, 0x0D, 0x00, 0x00})}}, u"EXE-MSLIB");
  add(801, GroupDatabases, u"Outlook Express E-mail Folder", u"DBX", u"outlook_express_data",
      {{Hex(CondDword, 0, {0xCF, 0xAD, 0x12, 0xFE})}});
  add(802, GroupDatabases, u"Microsoft Access Database", u"MDB", u"access_database",
      {{Hex(CondBytes, 4,
            {0x53, 0x74, 0x61, 0x6E, 0x64, 0x61, 0x72, 0x64, 0x20, 0x4A, 0x65, 0x74, 0x20, 0x44,
             0x42, 0x00})}});
  add(800, GroupDatabases, u"Microsoft Money Data", u"MNY", u"money_data",
      {{Text(CondBytes, 4, "MSISAM.Database")}});
  add(250, GroupDocuments, u"MS Outlook Personal Folders", u"PST,OST", u"outlook",
      {{Text(CondDword, 0, "!BDN")}});
  add(251, GroupDocuments, u"MS Outlook Address Book", u"OAB", u"outlook_address_book",
      {{Hex(CondBytes, 1, {0x00, 0x00, 0x00, 0x94, 0x01, 0x00, 0x3E})}});
  add(53, GroupDocuments, u"Ichitaro Document (Japanese)", u"JXW,JAW,JBW,JSW", u"document",
      {{Hex(CondDword, 0, {0x44, 0x4F, 0x43, 0x00}), Hex(CondDword, 4, {0x00, 0x00, 0x00, 0x00})}});
  add(252, GroupDocuments, u"MS Calendar", u"CAL", u"Calendar",
      {{Hex(CondQword, 0, {0xB5, 0xA2, 0xB0, 0xB3, 0xB3, 0xB0, 0xA2, 0xB5})}});
  add(803, GroupDatabases, u"Microsoft Cardfile", u"CRD", u"Cardfile",
      {{Text(CondBytes, 0, "MGC")}});
  add(610, GroupDocuments, u"Win Organizer", u"GSO", u"WinOrganizer",
      {{Text(CondBytes, 1, "TreeData")}});
  add(612, GroupStorages, u"Best Crypt Disk Image", u"JBC", u"Disk_Image",
      {{Text(CondBytes, 3, "LOCOS")}});
  add(611, GroupStorages, u"PGP Disk Image", u"PGD", u"Disk_Image",
      {{Text(CondBytes, 0, "PGPdMAIN")}});
  add(1, GroupSystem, u"System Logical FAT12 Disk", u"SYSTEM", u"system",
      {{Hex(CondWord, 510, {0x55, 0xAA}), Hex(CondByte, 0, {0xEB}), Hex(CondByte, 2, {0x90}),
        Text(CondBytes, 54, "FAT12")}});
  add(4, GroupSystem, u"System Logical FAT16 Disk", u"SYSTEM", u"system",
      {{Hex(CondWord, 510, {0x55, 0xAA}), Hex(CondByte, 0, {0xEB}), Hex(CondByte, 2, {0x90}),
        Text(CondBytes, 54, "FAT16")}});
  add(11, GroupSystem, u"System Logical FAT32 Disk", u"SYSTEM", u"system",
      {{Hex(CondWord, 510, {0x55, 0xAA}), Hex(CondByte, 0, {0xEB}), Hex(CondByte, 2, {0x90}),
        Text(CondBytes, 82, "FAT32")}});
  add(7, GroupSystem, u"System Logical NTFS Disk", u"SYSTEM", u"system",
      {{Hex(CondWord, 510, {0x55, 0xAA}), Hex(CondByte, 0, {0xEB}), Hex(CondByte, 2, {0x90}),
        Text(CondBytes, 3, "NTFS    ")}});
  add(24, GroupSystem, u"NTFS File Entry ", u"SYSTEM", u"system", {{Text(CondDword, 0, "FILE")}});
  add(500, GroupDocuments, u"Microsoft Storage File (DOC,XLS,PPT and etc.)", u"DOC", u"document",
      {{Hex(CondDword, 0, {0xD0, 0xCF, 0x11, 0xE0})}});
  add(502, GroupDocuments, u"Microsoft Word Document", u"DOC", u"document", {});
  add(501, GroupDocuments, u"Microsoft Excel Document", u"XLS", u"document", {});
  add(503, GroupDocuments, u"Microsoft PowerPoint Presentation", u"PTT", u"document", {});
  add(508, GroupDocuments, u"Microsoft Publisher Document", u"PUB", u"document", {});
  add(506, GroupDocuments, u"Microsoft Project Document", u"MPP", u"document", {});
  add(505, GroupDocuments, u"Microsoft Visio Document", u"VSD", u"document", {});
  add(507, GroupDocuments, u"Microsoft Works Document", u"WPS", u"document", {});
  add(522, GroupDocuments, u"3D Studio Max Model", u"MAX", u"discreet", {});
  add(81, GroupDocuments, u"3D Studio Max Model", u"3DS", u"discreet", {});
  add(523, GroupDocuments, u"Macromedia Flash", u"FLA", u"flash_document", {});
  add(520, GroupDocuments, u"Ichitaro Document (Storage File) (Japanese)", u"JTD,JTD,JFW,JTT",
      u"document", {});
  return std::move(add.types);
}
