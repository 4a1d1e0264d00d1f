// The TWAIN 1.x records and codes this program uses, written from the
// published protocol. Records are 2-byte packed, as every Source Manager
// and Source on Windows expects; the static_asserts pin the layouts.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define TW_CALLINGSTYLE __stdcall
#else
#define TW_CALLINGSTYLE
#endif

using TW_INT8 = std::int8_t;
using TW_INT16 = std::int16_t;
using TW_INT32 = std::int32_t;
using TW_UINT8 = std::uint8_t;
using TW_UINT16 = std::uint16_t;
using TW_UINT32 = std::uint32_t;
using TW_BOOL = std::uint16_t;
using TW_HANDLE = void*;
using TW_MEMREF = void*;
using TW_STR32 = char[34];
using TW_STR64 = char[66];
using TW_STR128 = char[130];
using TW_STR255 = char[256];

#pragma pack(push, 2)

struct TW_FIX32 {
  TW_INT16 Whole;
  TW_UINT16 Frac;
};

struct TW_FRAME {
  TW_FIX32 Left;
  TW_FIX32 Top;
  TW_FIX32 Right;
  TW_FIX32 Bottom;
};

struct TW_VERSION {
  TW_UINT16 MajorNum;
  TW_UINT16 MinorNum;
  TW_UINT16 Language;
  TW_UINT16 Country;
  TW_STR32 Info;
};

struct TW_IDENTITY {
  TW_UINT32 Id;
  TW_VERSION Version;
  TW_UINT16 ProtocolMajor;
  TW_UINT16 ProtocolMinor;
  TW_UINT32 SupportedGroups;
  TW_STR32 Manufacturer;
  TW_STR32 ProductFamily;
  TW_STR32 ProductName;
};

struct TW_USERINTERFACE {
  TW_BOOL ShowUI;
  TW_BOOL ModalUI;
  TW_HANDLE hParent;
};

struct TW_EVENT {
  TW_MEMREF pEvent;
  TW_UINT16 TWMessage;
};

struct TW_PENDINGXFERS {
  TW_UINT16 Count;
  union {
    TW_UINT32 EOJ;
    TW_UINT32 Reserved;
  };
};

struct TW_STATUS {
  TW_UINT16 ConditionCode;
  TW_UINT16 Reserved;
};

struct TW_CAPABILITY {
  TW_UINT16 Cap;
  TW_UINT16 ConType;
  TW_HANDLE hContainer;
};

struct TW_ONEVALUE {
  TW_UINT16 ItemType;
  TW_UINT32 Item;
};

// The variable item lists follow the fixed fields; only the fixed part is
// declared so sizeof gives the header length.
struct TW_ENUMERATION {
  TW_UINT16 ItemType;
  TW_UINT32 NumItems;
  TW_UINT32 CurrentIndex;
  TW_UINT32 DefaultIndex;
};

struct TW_RANGE {
  TW_UINT16 ItemType;
  TW_UINT32 MinValue;
  TW_UINT32 MaxValue;
  TW_UINT32 StepSize;
  TW_UINT32 DefaultValue;
  TW_UINT32 CurrentValue;
};

struct TW_ARRAY {
  TW_UINT16 ItemType;
  TW_UINT32 NumItems;
};

struct TW_IMAGEINFO {
  TW_FIX32 XResolution;
  TW_FIX32 YResolution;
  TW_INT32 ImageWidth;
  TW_INT32 ImageLength;
  TW_INT16 SamplesPerPixel;
  TW_INT16 BitsPerSample[8];
  TW_INT16 BitsPerPixel;
  TW_BOOL Planar;
  TW_INT16 PixelType;
  TW_UINT16 Compression;
};

struct TW_IMAGELAYOUT {
  TW_FRAME Frame;
  TW_UINT32 DocumentNumber;
  TW_UINT32 PageNumber;
  TW_UINT32 FrameNumber;
};

struct TW_SETUPMEMXFER {
  TW_UINT32 MinBufSize;
  TW_UINT32 MaxBufSize;
  TW_UINT32 Preferred;
};

struct TW_MEMORY {
  TW_UINT32 Flags;
  TW_UINT32 Length;
  TW_MEMREF TheMem;
};

struct TW_IMAGEMEMXFER {
  TW_UINT16 Compression;
  TW_UINT32 BytesPerRow;
  TW_UINT32 Columns;
  TW_UINT32 Rows;
  TW_UINT32 XOffset;
  TW_UINT32 YOffset;
  TW_UINT32 BytesWritten;
  TW_MEMORY Memory;
};

struct TW_SETUPFILEXFER {
  TW_STR255 FileName;
  TW_UINT16 Format;
  TW_INT16 VRefNum;
};

struct TW_ELEMENT8 {
  TW_UINT8 Index;
  TW_UINT8 Channel1;
  TW_UINT8 Channel2;
  TW_UINT8 Channel3;
};

struct TW_PALETTE8 {
  TW_UINT16 NumColors;
  TW_UINT16 PaletteType;
  TW_ELEMENT8 Colors[256];
};

using DSMENTRYPROC = TW_UINT16(TW_CALLINGSTYLE*)(TW_IDENTITY* origin, TW_IDENTITY* dest,
                                                 TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                                                 TW_MEMREF data);
using DSM_MEMALLOCATE = TW_HANDLE(TW_CALLINGSTYLE*)(TW_UINT32 size);
using DSM_MEMFREE = void(TW_CALLINGSTYLE*)(TW_HANDLE handle);
using DSM_MEMLOCK = TW_MEMREF(TW_CALLINGSTYLE*)(TW_HANDLE handle);
using DSM_MEMUNLOCK = void(TW_CALLINGSTYLE*)(TW_HANDLE handle);

// Sent by the 2.x Source Manager to a Source; 1.x applications never see it.
struct TW_ENTRYPOINT {
  TW_UINT32 Size;
  DSMENTRYPROC DSM_Entry;
  DSM_MEMALLOCATE DSM_MemAllocate;
  DSM_MEMFREE DSM_MemFree;
  DSM_MEMLOCK DSM_MemLock;
  DSM_MEMUNLOCK DSM_MemUnlock;
};

// Given by a 2.x application to a 2.x Manager with MSG_REGISTER_CALLBACK:
// the Manager calls CallBackProc (a DSMENTRYPROC) with DAT_NULL messages.
struct TW_CALLBACK {
  TW_MEMREF CallBackProc;
  TW_UINT32 RefCon;
  TW_INT16 Message;
};

#pragma pack(pop)

constexpr std::size_t kPtr = sizeof(void*);

static_assert(sizeof(TW_FIX32) == 4);
static_assert(sizeof(TW_FRAME) == 16);
static_assert(sizeof(TW_VERSION) == 42);
static_assert(sizeof(TW_IDENTITY) == 156);
static_assert(offsetof(TW_IDENTITY, Version) == 4);
static_assert(offsetof(TW_IDENTITY, ProtocolMajor) == 46);
static_assert(offsetof(TW_IDENTITY, SupportedGroups) == 50);
static_assert(offsetof(TW_IDENTITY, Manufacturer) == 54);
static_assert(offsetof(TW_IDENTITY, ProductFamily) == 88);
static_assert(offsetof(TW_IDENTITY, ProductName) == 122);
static_assert(sizeof(TW_USERINTERFACE) == 4 + kPtr);
static_assert(offsetof(TW_USERINTERFACE, hParent) == 4);
static_assert(sizeof(TW_EVENT) == kPtr + 2);
static_assert(offsetof(TW_EVENT, TWMessage) == kPtr);
static_assert(sizeof(TW_PENDINGXFERS) == 6);
static_assert(sizeof(TW_STATUS) == 4);
static_assert(sizeof(TW_CAPABILITY) == 4 + kPtr);
static_assert(offsetof(TW_CAPABILITY, hContainer) == 4);
static_assert(sizeof(TW_ONEVALUE) == 6);
static_assert(sizeof(TW_ENUMERATION) == 14);
static_assert(sizeof(TW_RANGE) == 22);
static_assert(offsetof(TW_RANGE, CurrentValue) == 18);
static_assert(sizeof(TW_ARRAY) == 6);
static_assert(sizeof(TW_IMAGEINFO) == 42);
static_assert(offsetof(TW_IMAGEINFO, BitsPerSample) == 18);
static_assert(offsetof(TW_IMAGEINFO, PixelType) == 38);
static_assert(sizeof(TW_IMAGELAYOUT) == 28);
static_assert(sizeof(TW_SETUPMEMXFER) == 12);
static_assert(sizeof(TW_MEMORY) == 8 + kPtr);
static_assert(sizeof(TW_IMAGEMEMXFER) == 26 + 8 + kPtr);
static_assert(offsetof(TW_IMAGEMEMXFER, Memory) == 26);
static_assert(sizeof(TW_SETUPFILEXFER) == 260);
static_assert(offsetof(TW_SETUPFILEXFER, Format) == 256);
static_assert(sizeof(TW_PALETTE8) == 1028);
static_assert(sizeof(TW_ENTRYPOINT) == 4 + 5 * kPtr);
static_assert(sizeof(TW_CALLBACK) == kPtr + 6);

// Data groups.
constexpr TW_UINT32 DG_CONTROL = 0x0001;
constexpr TW_UINT32 DG_IMAGE = 0x0002;
constexpr TW_UINT32 DG_AUDIO = 0x0004;

// Data argument types, messages, return and condition codes are X-macro
// tables so the names the log prints and the constants come from one list.
#define TWAIN_DAT_TABLE(X)       \
  X(DAT_NULL, 0x0000)            \
  X(DAT_CAPABILITY, 0x0001)      \
  X(DAT_EVENT, 0x0002)           \
  X(DAT_IDENTITY, 0x0003)        \
  X(DAT_PARENT, 0x0004)          \
  X(DAT_PENDINGXFERS, 0x0005)    \
  X(DAT_SETUPMEMXFER, 0x0006)    \
  X(DAT_SETUPFILEXFER, 0x0007)   \
  X(DAT_STATUS, 0x0008)          \
  X(DAT_USERINTERFACE, 0x0009)   \
  X(DAT_XFERGROUP, 0x000a)       \
  X(DAT_CUSTOMDSDATA, 0x000c)    \
  X(DAT_DEVICEEVENT, 0x000d)     \
  X(DAT_FILESYSTEM, 0x000e)      \
  X(DAT_PASSTHRU, 0x000f)        \
  X(DAT_CALLBACK, 0x0010)        \
  X(DAT_IMAGEINFO, 0x0101)       \
  X(DAT_IMAGELAYOUT, 0x0102)     \
  X(DAT_IMAGEMEMXFER, 0x0103)    \
  X(DAT_IMAGENATIVEXFER, 0x0104) \
  X(DAT_IMAGEFILEXFER, 0x0105)   \
  X(DAT_CIECOLOR, 0x0106)        \
  X(DAT_GRAYRESPONSE, 0x0107)    \
  X(DAT_RGBRESPONSE, 0x0108)     \
  X(DAT_JPEGCOMPRESSION, 0x0109) \
  X(DAT_PALETTE8, 0x010a)        \
  X(DAT_EXTIMAGEINFO, 0x010b)    \
  X(DAT_ENTRYPOINT, 0x0403)

#define TWAIN_MSG_TABLE(X)      \
  X(MSG_NULL, 0x0000)           \
  X(MSG_GET, 0x0001)            \
  X(MSG_GETCURRENT, 0x0002)     \
  X(MSG_GETDEFAULT, 0x0003)     \
  X(MSG_GETFIRST, 0x0004)       \
  X(MSG_GETNEXT, 0x0005)        \
  X(MSG_SET, 0x0006)            \
  X(MSG_RESET, 0x0007)          \
  X(MSG_QUERYSUPPORT, 0x0008)   \
  X(MSG_XFERREADY, 0x0101)      \
  X(MSG_CLOSEDSREQ, 0x0102)     \
  X(MSG_CLOSEDSOK, 0x0103)      \
  X(MSG_DEVICEEVENT, 0x0104)    \
  X(MSG_CHECKSTATUS, 0x0201)    \
  X(MSG_OPENDSM, 0x0301)        \
  X(MSG_CLOSEDSM, 0x0302)       \
  X(MSG_OPENDS, 0x0401)         \
  X(MSG_CLOSEDS, 0x0402)        \
  X(MSG_USERSELECT, 0x0403)     \
  X(MSG_DISABLEDS, 0x0501)      \
  X(MSG_ENABLEDS, 0x0502)       \
  X(MSG_ENABLEDSUIONLY, 0x0503) \
  X(MSG_PROCESSEVENT, 0x0601)   \
  X(MSG_ENDXFER, 0x0701)        \
  X(MSG_STOPFEEDER, 0x0702)     \
  X(MSG_REGISTER_CALLBACK, 0x0902)

#define TWAIN_RC_TABLE(X) \
  X(TWRC_SUCCESS, 0)      \
  X(TWRC_FAILURE, 1)      \
  X(TWRC_CHECKSTATUS, 2)  \
  X(TWRC_CANCEL, 3)       \
  X(TWRC_DSEVENT, 4)      \
  X(TWRC_NOTDSEVENT, 5)   \
  X(TWRC_XFERDONE, 6)     \
  X(TWRC_ENDOFLIST, 7)

#define TWAIN_CC_TABLE(X)     \
  X(TWCC_SUCCESS, 0)          \
  X(TWCC_BUMMER, 1)           \
  X(TWCC_LOWMEMORY, 2)        \
  X(TWCC_NODS, 3)             \
  X(TWCC_MAXCONNECTIONS, 4)   \
  X(TWCC_OPERATIONERROR, 5)   \
  X(TWCC_BADCAP, 6)           \
  X(TWCC_BADPROTOCOL, 9)      \
  X(TWCC_BADVALUE, 10)        \
  X(TWCC_SEQERROR, 11)        \
  X(TWCC_BADDEST, 12)         \
  X(TWCC_CAPUNSUPPORTED, 13)  \
  X(TWCC_CAPBADOPERATION, 14) \
  X(TWCC_CAPSEQERROR, 15)

#define TWAIN_DEFINE_U16(name, value) constexpr TW_UINT16 name = value;
TWAIN_DAT_TABLE(TWAIN_DEFINE_U16)
TWAIN_MSG_TABLE(TWAIN_DEFINE_U16)
TWAIN_RC_TABLE(TWAIN_DEFINE_U16)
TWAIN_CC_TABLE(TWAIN_DEFINE_U16)

// Container types.
constexpr TW_UINT16 TWON_ARRAY = 3;
constexpr TW_UINT16 TWON_ENUMERATION = 4;
constexpr TW_UINT16 TWON_ONEVALUE = 5;
constexpr TW_UINT16 TWON_RANGE = 6;
constexpr TW_UINT16 TWON_DONTCARE8 = 0xff;
constexpr TW_UINT16 TWON_DONTCARE16 = 0xffff;
constexpr TW_UINT32 TWON_DONTCARE32 = 0xffffffff;

// Item types.
constexpr TW_UINT16 TWTY_INT8 = 0;
constexpr TW_UINT16 TWTY_INT16 = 1;
constexpr TW_UINT16 TWTY_INT32 = 2;
constexpr TW_UINT16 TWTY_UINT8 = 3;
constexpr TW_UINT16 TWTY_UINT16 = 4;
constexpr TW_UINT16 TWTY_UINT32 = 5;
constexpr TW_UINT16 TWTY_BOOL = 6;
constexpr TW_UINT16 TWTY_FIX32 = 7;
constexpr TW_UINT16 TWTY_FRAME = 8;
constexpr TW_UINT16 TWTY_STR32 = 9;
constexpr TW_UINT16 TWTY_STR64 = 10;
constexpr TW_UINT16 TWTY_STR128 = 11;
constexpr TW_UINT16 TWTY_STR255 = 12;

constexpr TW_BOOL TW_TRUE = 1;
constexpr TW_BOOL TW_FALSE = 0;

// Memory flags of TW_MEMORY.
constexpr TW_UINT32 TWMF_APPOWNS = 0x0001;
constexpr TW_UINT32 TWMF_DSMOWNS = 0x0002;
constexpr TW_UINT32 TWMF_DSOWNS = 0x0004;
constexpr TW_UINT32 TWMF_POINTER = 0x0008;
constexpr TW_UINT32 TWMF_HANDLE = 0x0010;

// Constants of capabilities the program itself acts on.
constexpr TW_UINT16 TWSX_NATIVE = 0;
constexpr TW_UINT16 TWSX_FILE = 1;
constexpr TW_UINT16 TWSX_MEMORY = 2;

constexpr TW_UINT16 TWUN_INCHES = 0;
constexpr TW_UINT16 TWUN_CENTIMETERS = 1;
constexpr TW_UINT16 TWUN_PICAS = 2;
constexpr TW_UINT16 TWUN_POINTS = 3;
constexpr TW_UINT16 TWUN_TWIPS = 4;
constexpr TW_UINT16 TWUN_PIXELS = 5;

constexpr TW_UINT16 TWPT_BW = 0;
constexpr TW_UINT16 TWPT_GRAY = 1;
constexpr TW_UINT16 TWPT_RGB = 2;
constexpr TW_UINT16 TWPT_PALETTE = 3;

constexpr TW_UINT16 TWCP_NONE = 0;
constexpr TW_UINT16 TWCP_JPEG = 6;

constexpr TW_UINT16 TWFF_TIFF = 0;
constexpr TW_UINT16 TWFF_PICT = 1;
constexpr TW_UINT16 TWFF_BMP = 2;
constexpr TW_UINT16 TWFF_XBM = 3;
constexpr TW_UINT16 TWFF_JFIF = 4;

constexpr TW_UINT16 TWPA_RGB = 0;
constexpr TW_UINT16 TWPA_GRAY = 1;

constexpr TW_UINT16 TWSS_NONE = 0;
constexpr TW_UINT16 TWSS_A4 = 1;
constexpr TW_UINT16 TWSS_USLETTER = 3;
constexpr TW_UINT16 TWSS_USLEGAL = 4;

constexpr TW_UINT16 TWLG_USA = 13;
constexpr TW_UINT16 TWCY_USA = 1;

// Flags of SupportedGroups beyond the data groups.
constexpr TW_UINT32 DF_DSM2 = 0x10000000;
constexpr TW_UINT32 DF_APP2 = 0x20000000;
constexpr TW_UINT32 DF_DS2 = 0x40000000;

// Capability codes, in code order; the name table reads the same list.
#define TWAIN_CAP_TABLE(X)                     \
  X(CAP_XFERCOUNT, 0x0001)                     \
  X(ICAP_COMPRESSION, 0x0100)                  \
  X(ICAP_PIXELTYPE, 0x0101)                    \
  X(ICAP_UNITS, 0x0102)                        \
  X(ICAP_XFERMECH, 0x0103)                     \
  X(CAP_AUTHOR, 0x1000)                        \
  X(CAP_CAPTION, 0x1001)                       \
  X(CAP_FEEDERENABLED, 0x1002)                 \
  X(CAP_FEEDERLOADED, 0x1003)                  \
  X(CAP_TIMEDATE, 0x1004)                      \
  X(CAP_SUPPORTEDCAPS, 0x1005)                 \
  X(CAP_EXTENDEDCAPS, 0x1006)                  \
  X(CAP_AUTOFEED, 0x1007)                      \
  X(CAP_CLEARPAGE, 0x1008)                     \
  X(CAP_FEEDPAGE, 0x1009)                      \
  X(CAP_REWINDPAGE, 0x100a)                    \
  X(CAP_INDICATORS, 0x100b)                    \
  X(CAP_SUPPORTEDCAPSEXT, 0x100c)              \
  X(CAP_PAPERDETECTABLE, 0x100d)               \
  X(CAP_UICONTROLLABLE, 0x100e)                \
  X(CAP_DEVICEONLINE, 0x100f)                  \
  X(CAP_AUTOSCAN, 0x1010)                      \
  X(CAP_THUMBNAILSENABLED, 0x1011)             \
  X(CAP_DUPLEX, 0x1012)                        \
  X(CAP_DUPLEXENABLED, 0x1013)                 \
  X(CAP_ENABLEDSUIONLY, 0x1014)                \
  X(CAP_CUSTOMDSDATA, 0x1015)                  \
  X(CAP_ENDORSER, 0x1016)                      \
  X(CAP_JOBCONTROL, 0x1017)                    \
  X(CAP_ALARMS, 0x1018)                        \
  X(CAP_ALARMVOLUME, 0x1019)                   \
  X(CAP_AUTOMATICCAPTURE, 0x101a)              \
  X(CAP_TIMEBEFOREFIRSTCAPTURE, 0x101b)        \
  X(CAP_TIMEBETWEENCAPTURES, 0x101c)           \
  X(CAP_CLEARBUFFERS, 0x101d)                  \
  X(CAP_MAXBATCHBUFFERS, 0x101e)               \
  X(CAP_DEVICETIMEDATE, 0x101f)                \
  X(CAP_POWERSUPPLY, 0x1020)                   \
  X(CAP_CAMERAPREVIEWUI, 0x1021)               \
  X(CAP_DEVICEEVENT, 0x1022)                   \
  X(CAP_PAGEMULTIPLEACQUIRE, 0x1023)           \
  X(CAP_SERIALNUMBER, 0x1024)                  \
  X(CAP_FILESYSTEM, 0x1025)                    \
  X(CAP_PRINTER, 0x1026)                       \
  X(CAP_PRINTERENABLED, 0x1027)                \
  X(CAP_PRINTERINDEX, 0x1028)                  \
  X(CAP_PRINTERMODE, 0x1029)                   \
  X(CAP_PRINTERSTRING, 0x102a)                 \
  X(CAP_PRINTERSUFFIX, 0x102b)                 \
  X(CAP_LANGUAGE, 0x102c)                      \
  X(CAP_FEEDERALIGNMENT, 0x102d)               \
  X(CAP_FEEDERORDER, 0x102e)                   \
  X(CAP_PAPERBINDING, 0x102f)                  \
  X(CAP_REACQUIREALLOWED, 0x1030)              \
  X(CAP_PASSTHRU, 0x1031)                      \
  X(CAP_BATTERYMINUTES, 0x1032)                \
  X(CAP_BATTERYPERCENTAGE, 0x1033)             \
  X(CAP_POWERDOWNTIME, 0x1034)                 \
  X(ICAP_AUTOBRIGHT, 0x1100)                   \
  X(ICAP_BRIGHTNESS, 0x1101)                   \
  X(ICAP_CONTRAST, 0x1103)                     \
  X(ICAP_CUSTHALFTONE, 0x1104)                 \
  X(ICAP_EXPOSURETIME, 0x1105)                 \
  X(ICAP_FILTER, 0x1106)                       \
  X(ICAP_FLASHUSED, 0x1107)                    \
  X(ICAP_GAMMA, 0x1108)                        \
  X(ICAP_HALFTONES, 0x1109)                    \
  X(ICAP_HIGHLIGHT, 0x110a)                    \
  X(ICAP_IMAGEFILEFORMAT, 0x110c)              \
  X(ICAP_LAMPSTATE, 0x110d)                    \
  X(ICAP_LIGHTSOURCE, 0x110e)                  \
  X(ICAP_ORIENTATION, 0x1110)                  \
  X(ICAP_PHYSICALWIDTH, 0x1111)                \
  X(ICAP_PHYSICALHEIGHT, 0x1112)               \
  X(ICAP_SHADOW, 0x1113)                       \
  X(ICAP_FRAMES, 0x1114)                       \
  X(ICAP_XNATIVERESOLUTION, 0x1116)            \
  X(ICAP_YNATIVERESOLUTION, 0x1117)            \
  X(ICAP_XRESOLUTION, 0x1118)                  \
  X(ICAP_YRESOLUTION, 0x1119)                  \
  X(ICAP_MAXFRAMES, 0x111a)                    \
  X(ICAP_TILES, 0x111b)                        \
  X(ICAP_BITORDER, 0x111c)                     \
  X(ICAP_CCITTKFACTOR, 0x111d)                 \
  X(ICAP_LIGHTPATH, 0x111e)                    \
  X(ICAP_PIXELFLAVOR, 0x111f)                  \
  X(ICAP_PLANARCHUNKY, 0x1120)                 \
  X(ICAP_ROTATION, 0x1121)                     \
  X(ICAP_SUPPORTEDSIZES, 0x1122)               \
  X(ICAP_THRESHOLD, 0x1123)                    \
  X(ICAP_XSCALING, 0x1124)                     \
  X(ICAP_YSCALING, 0x1125)                     \
  X(ICAP_BITORDERCODES, 0x1126)                \
  X(ICAP_PIXELFLAVORCODES, 0x1127)             \
  X(ICAP_JPEGPIXELTYPE, 0x1128)                \
  X(ICAP_TIMEFILL, 0x112a)                     \
  X(ICAP_BITDEPTH, 0x112b)                     \
  X(ICAP_BITDEPTHREDUCTION, 0x112c)            \
  X(ICAP_UNDEFINEDIMAGESIZE, 0x112d)           \
  X(ICAP_IMAGEDATASET, 0x112e)                 \
  X(ICAP_EXTIMAGEINFO, 0x112f)                 \
  X(ICAP_MINIMUMHEIGHT, 0x1130)                \
  X(ICAP_MINIMUMWIDTH, 0x1131)                 \
  X(ICAP_AUTODISCARDBLANKPAGES, 0x1134)        \
  X(ICAP_FLIPROTATION, 0x1136)                 \
  X(ICAP_BARCODEDETECTIONENABLED, 0x1137)      \
  X(ICAP_SUPPORTEDBARCODETYPES, 0x1138)        \
  X(ICAP_PATCHCODEDETECTIONENABLED, 0x113f)    \
  X(ICAP_SUPPORTEDPATCHCODETYPES, 0x1140)      \
  X(ICAP_PATCHCODEMAXSEARCHPRIORITIES, 0x1141) \
  X(ICAP_PATCHCODESEARCHPRIORITIES, 0x1142)    \
  X(ICAP_PATCHCODESEARCHMODE, 0x1143)          \
  X(ICAP_PATCHCODEMAXRETRIES, 0x1144)          \
  X(ICAP_PATCHCODETIMEOUT, 0x1145)

TWAIN_CAP_TABLE(TWAIN_DEFINE_U16)
#undef TWAIN_DEFINE_U16

constexpr TW_UINT16 CAP_CUSTOMBASE = 0x8000;

#define TWAIN_COUNT_ROW(name, value) +1
constexpr int kTwainCapCount = 0 TWAIN_CAP_TABLE(TWAIN_COUNT_ROW);
#undef TWAIN_COUNT_ROW
static_assert(kTwainCapCount == 114);
