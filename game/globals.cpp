// The game's module globals and constant tables.
#include "game/my_app.h"
#include "game/random.h"

float rawscrw, rawscrh;
float jscrw, jscrh;
float overscan;
int isOuya;
int UseHDImages;
int DebugMode;
int HasMusicStream;
int iCadeControls;
int OnScreenControls, AccelerometerControls;
int FadeOutStyle;
int GameNum;
int J_On_Allow, J_On_Able;
VxRoot<Array<String>> MenuSet;
VxRoot<Array<String>> CreditText;
String CheckInServer;

namespace {

Array<String> Texts(std::initializer_list<const char*> lines) {
    Array<String> texts(int(lines.size()));
    int i = 0;
    for (const char* line : lines) texts[i++] = String(line);
    return texts;
}

} // namespace

void vx_game_Init() {
    rawscrw = 640;
    rawscrh = 480;
    jscrw = 640;
    jscrh = 480;
    overscan = 0;
    isOuya = 0;
    UseHDImages = 1;
    DebugMode = 0;
    HasMusicStream = 1;
    iCadeControls = 0;
    OnScreenControls = 0;
    AccelerometerControls = 0;
    FadeOutStyle = 1;
    GameNum = 444;
    J_On_Allow = 0;
    J_On_Able = 0;
    vx_random_Seed = 1234;
    CheckInServer = String("http://checkin.spindrift.example");
    // "\n" in these texts is the text routine's line break: a backslash followed by n.
    MenuSet = Texts({"Easy", "Easiest mode\\nNice and Easy.", "Normal", "Just right!\\nTough, but not hard.",
                     "Hard", "Maybe TOO hard!\\nIf you like it like that"});
    CreditText = Texts({"",
                        "A Game by",
                        "The Spindrift Team",
                        "spindrift.example",
                        "",
                        "-=-=-",
                        "",
                        "Developed using",
                        "Cobalt-X",
                        "our own C++ framework",
                        "",
                        "-=-=-",
                        "",
                        "Graphics",
                        "",
                        "Most graphics by",
                        "The Spindrift Team",
                        "",
                        "Font : EditUndo",
                        "The Spindrift Team",
                        "Lowercase added by",
                        "The Spindrift Team",
                        "",
                        "",
                        "-=-=-",
                        "",
                        "Audio",
                        "",
                        "Sound and Music by",
                        "The Spindrift Team",
                        "using",
                        "KORG Gadget,",
                        "SFXr,",
                        "Cool Edit",
                        "or whatever else",
                        "was handy!",
                        "",
                        "-=-=-",
                        "",
                        "",
                        "Hello to",
                        "Everyone who plays",
                        "",
                        "Thanks to",
                        "GLFW",
                        "OpenAL Soft",
                        "stb_image",
                        "stb_vorbis",
                        "libvorbis",
                        "GoogleTest",
                        "Google Benchmark",
                        "Mesa and Xvfb",
                        "And everyone Else",
                        "who tested it",
                        "",
                        "-=-=-",
                        "End"});
}
