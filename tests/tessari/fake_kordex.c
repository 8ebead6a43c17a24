/* Stand-ins for libkordex.so that Tessari must refuse: one that lacks the
 * service sheet's export (FAKE_PARTIAL), one whose text is not 8-bit. Every
 * function only returns. */
#define FAKE(name) __attribute__((visibility("default"))) int name(void) { return 0; }

__attribute__((visibility("default"))) int KX_IsUnicode(void) { return FAKE_UNICODE; }
#ifndef FAKE_PARTIAL
FAKE(KX_DialogH)
#endif
FAKE(KX_LogOpen) FAKE(KX_LogMsg) FAKE(KX_LogClose) FAKE(KX_LogFlush) FAKE(KX_GetHomeDirectory)
FAKE(KX_IniProfSetSection) FAKE(KX_IniProfGetStr) FAKE(KXACQ_SetFrameDim) FAKE(KXACQ_GetFrameDim)
FAKE(KXACQ_Connect) FAKE(KXACQ_SendCommand) FAKE(KXACQ_SendCommandParam) FAKE(KXACQ_StartFrame)
FAKE(KXACQ_VendorCommand) FAKE(KXACQ_Abort) FAKE(KXACQ_Close) FAKE(KXACQ_GetDetectorAddr)
FAKE(KXACQ_SetDetectorAddr) FAKE(KXC_GetImageDim) FAKE(KXC_CutImage) FAKE(KXC_Process) FAKE(KXC_Abort)
FAKE(KXC_Close) FAKE(KXC_GetCalibrationDirectory) FAKE(KXC_SetCalibrationDirectory) FAKE(KXC_GetImgCutParams)
FAKE(KXC_SetImgCutParams) FAKE(KXIP_Process) FAKE(KXIP_Abort) FAKE(KXIP_Close) FAKE(KX_Set_Acquisition)
FAKE(KX_Set_Calibration) FAKE(KX_Set_ImgProcess) FAKE(KX_GetImage) FAKE(KX_GetImageSP) FAKE(KX_GetImageCancel)
