/* The simulator's bench API: the part of the simulated driver library that a
 * real driver library does not have. It sets the bench (what the operator
 * puts in front of and around the camera), reads the bench instruments, and
 * chooses the simulated units on the USB bus. The station finds it by looking
 * up SIM_BENCH_API_ENTRY in the loaded driver library; a library without it
 * is a real camera's, and nothing of the simulator is touched.
 */
#ifndef SIM_BENCH_API_H
#define SIM_BENCH_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum SimLens {
    SIM_LENS_NONE = 0,
    SIM_LENS_TOOL_F8 = 1,    /* tool lens, fixed aperture F8 */
    SIM_LENS_50MM_F14 = 2,   /* 50 mm F1.4 */
    SIM_LENS_CAPPED = 3,     /* a lens with its cap on */
};

enum SimLight {
    SIM_LIGHT_OFF = 0,
    SIM_LIGHT_VIEWER = 1,     /* colour viewer */
    SIM_LIGHT_BOX = 2,        /* light box */
    SIM_LIGHT_REFLECTOR = 3,  /* standard reflector, lit by the built-in flash only */
};

enum SimChart {
    SIM_CHART_NONE = 0,
    SIM_CHART_RED = 1,   /* colour bar chart, red field filling the view */
    SIM_CHART_BLUE = 2,  /* colour bar chart, blue field filling the view */
};

enum SimPower {
    SIM_POWER_AC_ADAPTER = 0,
    SIM_POWER_BATTERY_TOOL = 1, /* battery tool without resistor, on the regulated supply */
};

enum SimMode {
    SIM_MODE_AUTO = 0,
    SIM_MODE_MANUAL = 1,
};

typedef struct SimBench {
    int32_t lens;          /* SimLens */
    int32_t ndFilter;      /* 0 none, else the ND number (3 = ND3) */
    int32_t light;         /* SimLight */
    double lightLevel;     /* LV of the viewer or light box */
    int32_t chart;         /* SimChart */
    int32_t closest;       /* 1: camera at the closest distance to the source */
    double subjectDistanceM; /* camera to reflector, metres */
    int32_t flashPoppedUp; /* built-in flash popped up */
    int32_t power;         /* SimPower */
    double supplyVolts;    /* regulated supply (battery tool) */
    int32_t usbPlugged;    /* USB cable in the camera */
    int32_t mainSwitchOn;
    int32_t exposureMode;  /* SimMode of the camera's exposure mode dial */
    int32_t afMode;        /* SimMode of the camera's focus mode switch */
} SimBench;

typedef struct SimBenchApi {
    uint32_t version; /* SIM_BENCH_API_VERSION */

    void (*GetBench)(SimBench* out);
    void (*SetBench)(const SimBench* bench);
    /* The ammeter in the supply line, amperes. */
    double (*ReadAmmeter)(void);

    /* The devices on the bus, in list order: cameras by unit profile (a
     * profile name or the path of a profile file), with an identification of
     * 13 characters or null for the profile's own. Returns 0, or -1 with a
     * message in LastError for a profile that does not exist. */
    void (*ClearDevices)(void);
    int32_t (*AddCamera)(const char* profile, const char* identification);
    void (*AddForeignDevice)(void);
    /* Names of the built-in profiles, separated by '\n'. */
    const char* (*ProfileNames)(void);
    /* The 13-character identification of a profile (null if unknown). */
    const char* (*ProfileIdentification)(const char* profile);
    const char* (*LastError)(void);

    /* Since version 2. The CCD power of the first camera on the bus, as the
     * camera switched it: 1 on, 0 off, -1 without a camera. */
    int32_t (*CameraCcdPower)(void);
} SimBenchApi;

/* A library of version 2 also answers a request for version 1: the table
 * only grew at its end. */
#define SIM_BENCH_API_VERSION 2u
#define SIM_BENCH_API_ENTRY "SimGetBenchApi"

typedef const SimBenchApi* (*SimGetBenchApiFn)(uint32_t version);

#ifdef __cplusplus
}
#endif

#endif /* SIM_BENCH_API_H */
