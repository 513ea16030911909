// Construction and collector marking of the application: every array field is allocated once here
// and never replaced, so nothing in play allocates.
#include "framework/input/input.h"
#include "game/my_app.h"

c_MyApp* c_MyApp::m_new() {
    c_App::m_new();
    gc_assign(m_Img, Array<c_Image*>(ImageSlots));
    gc_assign(m_ImgInfo, Array<int>(ImageSlots * ImgInfoStride));
    gc_assign(m_BadgeQueue, Array<int>(BadgeQueueLength));
    gc_assign(m_BadgeQueueT, Array<int>(BadgeQueueLength));
    gc_assign(m_Badge, Array<bool>(BadgeCount));
    gc_assign(m_VKey, Array<int>(VKeyCount));
    gc_assign(m_Setting, Array<int>(SettingCount));
    // Start-up sets these once more before the saved settings replace them; an object never started
    // (a tool, a test) holds them from here.
    p_DefaultSettings();
    gc_assign(m_HiScore, Array<int>(HiScoreSlots));
    // One slot per channel of the audio device, though effects take turns on the first SfxRotation.
    gc_assign(m_SfxChan, Array<int>(gxtkAudio::CHANNEL_COUNT));
    p_ResetChannels();
    gc_assign(m_Draw, Array<float>(DrawFloats));
    gc_assign(m_TriPoints, Array<float>(6));
    gc_assign(m_TouchDown, Array<int>(TouchPoints));
    gc_assign(m_TouchX, Array<int>(TouchPoints));
    gc_assign(m_TouchY, Array<int>(TouchPoints));
    gc_assign(m_Grid, Array<float>(GridFloats));
    gc_assign(m_Obj, Array<float>(PoolFloats));
    gc_assign(m_Stars, Array<float>(PoolFloats));
    gc_assign(m_Part, Array<float>(PoolFloats));
    gc_assign(m_Player, Array<float>(PlayerFloats));
    gc_assign(m_Sfx, Array<c_Sound*>(SoundSlots));
    return this;
}

void c_MyApp::mark() {
    gc_mark_q(m_Http);
    gc_mark_q(m_Img);
    gc_mark_q(m_ImgInfo);
    gc_mark_q(m_BadgeQueue);
    gc_mark_q(m_BadgeQueueT);
    gc_mark_q(m_Badge);
    gc_mark_q(m_VKey);
    gc_mark_q(m_Setting);
    gc_mark_q(m_HiScore);
    gc_mark_q(m_SfxChan);
    gc_mark_q(m_Draw);
    gc_mark_q(m_TriPoints);
    gc_mark_q(m_TouchDown);
    gc_mark_q(m_TouchX);
    gc_mark_q(m_TouchY);
    gc_mark_q(m_Grid);
    gc_mark_q(m_Obj);
    gc_mark_q(m_Stars);
    gc_mark_q(m_Part);
    gc_mark_q(m_Player);
    gc_mark_q(m_Sfx);
    gc_mark_q(m_Replay.device);
}
