#include <gtest/gtest.h>

#include <vector>

#include "FakeInput.h"
#include "app/Input.h"

namespace {

struct KeyTests {
    int pressed, held, released, up;
    bool operator==(const KeyTests& o) const
    {
        return pressed == o.pressed && held == o.held && released == o.released && up == o.up;
    }
};

KeyTests TestsOf(int key) { return {KeyPressed(key), KeyHeld(key), KeyReleased(key), KeyUp(key)}; }

std::ostream& operator<<(std::ostream& out, const KeyTests& t)
{
    return out << "pressed " << t.pressed << " held " << t.held << " released " << t.released << " up " << t.up;
}

using InputTest = FakeInputTest;

// The key is already down at the first snapshot, so that frame is its press.
TEST_F(InputTest, KeyDownFromStartThenLetGo)
{
    const std::vector<std::pair<bool, KeyTests>> frames = {
        {true, {1, 0, 0, 0}},  {true, {0, 1, 0, 0}},  {true, {0, 1, 0, 0}},
        {false, {0, 0, 1, 0}}, {false, {0, 0, 0, 1}}, {true, {1, 0, 0, 0}},
    };
    for (size_t frame = 0; frame < frames.size(); ++frame) {
        if (frames[frame].first) {
            SnapshotWithKeysDown({SDLK_g});
        } else {
            SnapshotWithKeysDown({});
        }
        EXPECT_EQ(TestsOf(SDLK_g), frames[frame].second) << "frame " << frame;
        EXPECT_EQ(TestsOf(SDLK_h), (KeyTests{0, 0, 0, 1})) << "frame " << frame;
    }
}

// Key state comes from SDL's snapshot, not from events: a tap that came and
// went between two snapshots leaves no trace.
TEST_F(InputTest, TapBetweenSnapshotsIsNotSeen)
{
    SnapshotWithKeysDown({});
    SDL_Event down = EventOfType(SDL_KEYDOWN);
    down.key.keysym.sym = SDLK_j;
    SDL_Event up = EventOfType(SDL_KEYUP);
    up.key.keysym.sym = SDLK_j;
    fakeSdl.events = {down, up};
    PollEvents(eventFlags, eventHandlers);
    UpdateKeys();
    EXPECT_EQ(TestsOf(SDLK_j), (KeyTests{0, 0, 0, 1}));
}

std::vector<int> handledTypes;
void RecordEvent(SDL_Event* event) { handledTypes.push_back(event->type); }

TEST_F(InputTest, PollFlagsEachTypeAndCallsItsHandlerPerEvent)
{
    handledTypes.clear();
    // Room past the 32 entries shows whether anything reaches beyond them.
    uint8_t flags[64];
    std::fill(std::begin(flags), std::end(flags), 0xAA);
    EventHandler handlers[64];
    std::fill(std::begin(handlers), std::end(handlers), RecordEvent);

    fakeSdl.events = {EventOfType(SDL_KEYDOWN), EventOfType(40), EventOfType(SDL_KEYDOWN),
                      EventOfType(SDL_QUIT), EventOfType(SDL_KEYDOWN)};
    PollEvents(flags, handlers);
    EXPECT_EQ(fakeSdl.pumps, 1);
    EXPECT_EQ(handledTypes, (std::vector<int>{SDL_KEYDOWN, SDL_KEYDOWN, SDL_QUIT, SDL_KEYDOWN}));
    for (int type = 0; type < kEventTypeCount; ++type) {
        EXPECT_EQ(flags[type], type == SDL_KEYDOWN || type == SDL_QUIT ? 1 : 0) << type;
    }
    EXPECT_EQ(flags[40], 0xAA);

    fakeSdl.events = {EventOfType(SDL_MOUSEMOTION)};
    PollEvents(flags, handlers);
    EXPECT_EQ(flags[SDL_KEYDOWN], 0);
    EXPECT_EQ(flags[SDL_QUIT], 0);
    EXPECT_EQ(flags[SDL_MOUSEMOTION], 1);
    EXPECT_EQ(handledTypes.size(), 5u);
}

TEST_F(InputTest, SnapshotIsBoundedByReportedCountAndItsOwnSize)
{
    std::fill(fakeSdl.keys.begin(), fakeSdl.keys.end(), 1);
    fakeSdl.reportedKeyCount = 200;
    UpdateKeys();
    EXPECT_EQ(keyCount, 200);
    EXPECT_EQ(currentKeys[199], 1);
    EXPECT_EQ(currentKeys[200], 0);
    EXPECT_EQ(currentKeys[kKeyCount - 1], 0);

    fakeSdl.keys.assign(1000, 1);  // a larger array than the snapshots hold
    fakeSdl.reportedKeyCount = 1000;
    currentKeys[250] = 7;  // beyond the count of the last snapshot: not carried over
    UpdateKeys();
    EXPECT_EQ(keyCount, kKeyCount);
    EXPECT_EQ(currentKeys[kKeyCount - 1], 1);
    EXPECT_EQ(previousKeys[199], 1);
    EXPECT_EQ(previousKeys[250], 0);
}

TEST_F(InputTest, WaitWithWrappedTargetReturnsAtOnce)
{
    fakeSdl.ticks = {0xFFFFFFF8u, 0xFFFFFFF9u};
    MarkFrameStart();
    WaitFrameTime(15);  // the target wraps to 7, below every reading
    EXPECT_EQ(frameStartTicks, 0xFFFFFFF8u);
    EXPECT_EQ(fakeSdl.tickReads, 2u);
}

TEST_F(InputTest, WaitSpinsUntilTheTarget)
{
    fakeSdl.ticks = {1000, 1003, 1009, 1014, 1015, 1030};
    MarkFrameStart();
    WaitFrameTime(15);
    EXPECT_EQ(fakeSdl.tickReads, 5u);  // stopped at the reading of 1015
}

}  // namespace
