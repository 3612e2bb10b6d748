"""Errors say who refused, in words; and the road in Python terms: a race
downloaded as rows with progress, a virtual clock saved and loaded."""
from datetime import datetime, timedelta

import pytest

import skylark
from skylark import virtual

KEY = bytes.fromhex("5241434532303236")
RINGS = ["2026A00010%02d" % i for i in range(1, 6)]
V_KEY = b"loft-key"
START = datetime(2026, 5, 16, 6, 0, 0)


def race_day(sk, clock, arrivals=3):
    """An initialised, authenticated M clock with one confirmed race and some arrivals."""
    h = clock.handle
    sk.sk_init_dev_ex(h, "pigeon42")
    sk.sk_connect_ex(h, "pigeon42")
    sk.sk_set_pigeon(h, START)
    clock.freeze()
    sk.skm_create_race(h, KEY, START + timedelta(hours=1), START + timedelta(hours=15), 180000)
    for ring in RINGS:
        sk.skm_add_race_card(h, ring + "0000")
    sk.skm_confirm_race(h, KEY, len(RINGS), b"BASKET01")
    for i in range(arrivals):
        clock.record_arrival(0, RINGS[i], START + timedelta(hours=3, minutes=i))


def test_clocklink_failure_is_clocklinks_in_words(sk, m_clock):
    with pytest.raises(skylark.SkylarkError) as refused:
        sk.skm_get_race_count(m_clock.handle)  # not authenticated
    e = refused.value
    assert (e.export, e.refused_by, e.error_code) == ("SKM_GetRaceCount", skylark.CLOCKLINK, 129)
    assert e.error_name == "CLV_ERR_NOT_AUTHENTICATED"
    assert e.error_text == virtual.error_text(sk, 129) and e.error_text in str(e)
    assert "ClockLink refused: error 129 CLV_ERR_NOT_AUTHENTICATED" in str(e)


@pytest.mark.parametrize("fault,value", [(virtual.FAULT_TAMPER, 8 * 5), (virtual.FAULT_CUT, 3)],
                         ids=["tampered", "cut short"])
def test_refused_reply_is_the_librarys(sk, m_clock, fault, value):
    race_day(sk, m_clock, arrivals=1)
    m_clock.set_fault(fault, value)
    with pytest.raises(skylark.SkylarkError) as refused:
        sk.skm_get_race_record(m_clock.handle, 0, 0)
    e = refused.value
    assert (e.refused_by, e.error_code, e.error_name) == (skylark.LIBRARY, 0, None)
    assert "library refused the reply" in str(e)


def test_failure_armed_on_the_channel_is_clocklinks(sk, m_clock):
    race_day(sk, m_clock, arrivals=1)
    m_clock.set_fault(virtual.FAULT_FAIL, virtual.CLV_ERR_BAD_STATE)
    with pytest.raises(skylark.SkylarkError) as refused:
        sk.skm_get_race_record(m_clock.handle, 0, 0)
    assert (refused.value.refused_by, refused.value.error_code) == (skylark.CLOCKLINK, virtual.CLV_ERR_BAD_STATE)


def test_unchanged_earlier_code_is_undecided(sk, m_clock):
    """ClockLink keeps the code of the last failure: after one, a refused reply
    and a repeated failure with the same code look alike, and the error says so."""
    race_day(sk, m_clock, arrivals=1)
    m_clock.set_fault(virtual.FAULT_FAIL, virtual.CLV_ERR_BAD_STATE)
    with pytest.raises(skylark.SkylarkError) as first:
        sk.skm_get_race_record(m_clock.handle, 0, 0)
    assert first.value.refused_by == skylark.CLOCKLINK
    m_clock.set_fault(virtual.FAULT_TAMPER, 40)
    with pytest.raises(skylark.SkylarkError) as second:
        sk.skm_get_race_record(m_clock.handle, 0, 0)
    e = second.value
    assert (e.refused_by, e.error_code, e.error_name) == (skylark.UNDECIDED, 135, "CLV_ERR_BAD_STATE")
    assert "either ClockLink failed again the same way, or the library refused the reply" in str(e)
    # A command whose rule checks no reply fails only when ClockLink does.
    m_clock.set_fault(virtual.FAULT_FAIL, virtual.CLV_ERR_BAD_STATE)
    with pytest.raises(skylark.SkylarkError) as third:
        sk.skm_close_race(m_clock.handle, KEY)
    assert third.value.refused_by == skylark.CLOCKLINK


def test_records_and_readers_have_their_own_side(sk):
    with pytest.raises(skylark.SkylarkError) as record:
        sk.sk_parse_record_info(V_KEY, "00" * 48)
    assert record.value.refused_by == skylark.LIBRARY and record.value.error_code is None
    with virtual.VirtualReader(sk) as reader:
        with pytest.raises(skylark.SkylarkError) as empty:
            sk.skr_active_card(reader.handle)
    assert empty.value.refused_by == skylark.READER


def test_every_code_of_the_stand_ins_is_in_the_table(sk):
    """The binding's table is the header's list; CLV_ErrorText knows every code."""
    assert skylark.ERRORS[0][0] == "CLV_OK"
    for code, (name, meaning) in skylark.ERRORS.items():
        assert getattr(virtual, name) == code and meaning
        if code:
            assert virtual.error_text(sk, code) != virtual.error_text(sk, 9999), name


def test_race_downloads_as_rows_with_progress(sk, m_clock):
    race_day(sk, m_clock, arrivals=3)
    seen = []

    def progress(done, total):
        seen.append((done, total))
        if done == 1:
            m_clock.set_fault(virtual.FAULT_TAMPER, 8 * 4 + 1)  # the second record's reply

    rows = sk.download_race(m_clock.handle, 0, progress=progress)
    assert seen == [(1, 3), (2, 3), (3, 3)]
    assert [r.index for r in rows] == [0, 1, 2]
    assert rows[1] == skylark.Arrival(1, None, None, None, False)
    assert [(r.ring, r.verified) for r in (rows[0], rows[2])] == [(RINGS[0], True), (RINGS[2], True)]
    assert rows[2].arrival == START + timedelta(hours=3, minutes=2)
    # The refused record is fetched again, with a fresh challenge, when asked to.
    again = sk.download_race(m_clock.handle, 0, progress=progress, retries=1)
    assert all(r.verified and r.lead == rows[0].lead for r in again)
    assert [r.index for r in sk.download_race(m_clock.handle, 0, count=2)] == [0, 1]
    # A ClockLink failure is not a row: it raises.
    m_clock.set_fault(virtual.FAULT_FAIL, virtual.CLV_ERR_BAD_STATE)
    with pytest.raises(skylark.SkylarkError):
        sk.download_race(m_clock.handle, 0)


def test_single_race_downloads_as_rows(sk):
    with virtual.VirtualClock(sk, virtual.KIND_S) as clock:
        h = clock.handle
        sk.sk_connect(h)
        sk.sk_set_pigeon(h, START)
        sk.sks_create_race(h, KEY, START + timedelta(hours=1), START + timedelta(hours=15))
        for i in range(2):
            clock.record_arrival(0, RINGS[i], START + timedelta(hours=2, seconds=i))
        rows = sk.download_single_race(h)
    assert [(r.ring, r.verified, r.lead) for r in rows] == [(RINGS[0], True, None), (RINGS[1], True, None)]


def test_virtual_clock_saves_and_loads(sk, m_clock, tmp_path):
    race_day(sk, m_clock, arrivals=2)
    assert m_clock.kind == virtual.KIND_M and m_clock.log_count() > 0
    path = tmp_path / "clock.json"
    m_clock.save(path)
    with virtual.VirtualClock.load(sk, path) as again:
        h = again.handle
        sk.sk_connect_ex(h, "pigeon42")  # a loaded clock starts unauthenticated
        # frozen at the last arrival: a bird from the clock's future brings its present on
        assert again.time == START + timedelta(hours=3, minutes=1)
        assert sk.skm_get_race_info2(h, 0) == (len(RINGS), 180000)
        assert [r.ring for r in sk.download_race(h, 0)] == RINGS[:2]
        assert again.log_entry(1).type == virtual.CLV_LOG_INITIALISED
    text = path.read_text()
    (tmp_path / "bad.json").write_text(text.replace('"serial":', '"serial": 1.5, "x":', 1))
    with pytest.raises(virtual.VirtualClockError) as damaged:
        virtual.VirtualClock.load(sk, tmp_path / "bad.json")
    assert damaged.value.code == virtual.CLV_ERR_FILE_DAMAGED and damaged.value.name == "CLV_ERR_FILE_DAMAGED"
    assert "/" in str(damaged.value).split(virtual.error_text(sk, virtual.CLV_ERR_FILE_DAMAGED))[1]
    with pytest.raises(virtual.VirtualClockError) as missing:
        virtual.VirtualClock.load(sk, tmp_path / "none.json")
    assert missing.value.code == virtual.CLV_ERR_FILE_IO


def test_seeded_clocks_fly_the_same_race(sk):
    """The calls others added reach Python through the list: a seeded clock
    flies a race the same way twice, and its arrivals read back."""
    days = []
    for _ in range(2):
        with virtual.VirtualClock(sk, virtual.KIND_M) as clock:
            clock.set_seed(2026)
            clock.freeze()
            h = clock.handle
            sk.sk_init_dev(h)
            sk.sk_connect(h)
            sk.skm_set_site_info(h, "00000001", "052.37000000", "004.89000000")
            sk.skm_create_race(h, KEY, START + timedelta(hours=1), START + timedelta(hours=15), 0)
            for ring in RINGS:
                sk.skm_add_race_card(h, ring + "0000")
            sk.skm_confirm_race(h, KEY, len(RINGS), bytes(8))
            summary = clock.fly(0, 50.85, 4.35, START + timedelta(hours=1), virtual.CLV_LOFT_FROM_SITE,
                                virtual.CLV_LOFT_FROM_SITE, 7, 1200.0, 60.0, 0.0)
            assert summary.birds == len(RINGS) and summary.arrived == len(RINGS) and summary.distance > 100000
            first = clock.get_arrival(0, 0)
            days.append((sk.sk_get_dev_info(h), [(r.ring, r.arrival) for r in sk.download_race(h, 0)], first))
    assert days[0] == days[1]
    assert days[0][2] == days[0][1][0]
    with pytest.raises(skylark.ArgumentError, match="libLat must be a finite number"):
        clock.fly(0, float("nan"), 4.35, START, 52.0, 4.9, 7, 1200.0, 60.0, 0.0)
