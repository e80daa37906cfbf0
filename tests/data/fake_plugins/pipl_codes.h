/* Codes shared by the stand-in plug-ins' property lists (little-endian; a
 * number ending in L is 32 bits, others 16). */
#define PIPL_VENDOR_ADBE 0x41444245L /* 'ADBE' */
#define PIPL_KEY_KIND 0x6B696E64L    /* 'kind' */
#define PIPL_KEY_IVRS 0x69767273L    /* 'ivrs' */
#define PIPL_KEY_WX86 0x77783836L    /* 'wx86' */
#define PIPL_KIND_SPEA 0x53504541L   /* 'SPEA' */
