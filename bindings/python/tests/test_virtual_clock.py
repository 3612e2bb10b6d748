"""Against a virtual M clock: the typical road, a refused password and a
tampered download."""
from datetime import datetime, timedelta

import pytest

import skylark
from skylark import virtual

RACE_KEY = bytes.fromhex("5241434532303130")
RING = "0123456789AB"
V_KEY = bytes.fromhex("01807FFF0055AA33")


def test_typical_road(sk, m_clock):
    h = m_clock.handle
    sk.sk_init_dev(h)
    assert sk.sk_connect(h) != 0
    start = datetime(2010, 3, 14, 9, 0, 0)
    assert sk.sk_set_pigeon(h, start) != 0
    m_clock.freeze()
    assert sk.sk_get_time(h) == start

    sk.skm_append_card(h, RING, 1, 2, 3, 4, 5, "00" * 12)
    assert sk.skm_get_card_count(h) == 1
    sk.skm_create_race(h, RACE_KEY, start, start + timedelta(hours=8), 77)
    sk.skm_add_race_card(h, RING + "0000")
    sk.skm_confirm_race(h, RACE_KEY, 1, bytes(8))
    arrival = datetime(2010, 3, 14, 11, 22, 33)
    m_clock.record_arrival(0, RING, arrival)

    index = sk.skm_get_race_index(h, RACE_KEY)
    assert sk.skm_get_race_count(h) == 1
    info = sk.skm_get_race_info(h, index)
    assert info.race_key_text == RACE_KEY.hex().upper() and info.race_figure == 1
    assert sk.skm_get_race_info2(h, index) == (1, 77)
    record = sk.skm_get_race_record(h, index, 0)
    assert record.record_text.startswith(RING) and record.arrival_time == arrival

    # The same arrival as the host stores it proves and decodes.
    plain = sk.sk_parse_record_info(V_KEY, m_clock.stored_record(index, 0, V_KEY))
    assert plain[:32] == record.record_text and plain[44:52] == record.lead_text
    assert sk.skm_close_race(h, RACE_KEY) != 0


def test_refused_password(sk, m_clock):
    h = m_clock.handle
    m_clock.set_password("s3cret")
    with pytest.raises(skylark.SkylarkError) as refused:
        sk.sk_connect_ex(h, "wrong")
    assert refused.value.export == "SK_ConnectEx"
    assert refused.value.error_code == virtual.ERR_BAD_PROOF
    with pytest.raises(skylark.SkylarkError) as locked:
        sk.skm_get_race_count(h)
    assert locked.value.error_code == virtual.ERR_NOT_AUTHENTICATED
    assert sk.sk_connect_ex(h, "s3cret") != 0
    assert sk.skm_get_race_count(h) == 0


def test_tampered_download(sk, m_clock):
    h = m_clock.handle
    sk.sk_init_dev(h)
    sk.sk_connect(h)
    sk.skm_create_race(h, RACE_KEY, datetime(2010, 3, 14, 9), datetime(2010, 3, 14, 17), 0)
    sk.skm_add_race_card(h, RING + "0000")
    sk.skm_confirm_race(h, RACE_KEY, 1, bytes(8))
    m_clock.record_arrival(0, RING, datetime(2010, 3, 14, 10, 0, 0))

    m_clock.set_fault(virtual.FAULT_TAMPER, 8 * 5)  # one bit of the record body
    with pytest.raises(skylark.SkylarkError, match="SKM_GetRaceRecord"):
        sk.skm_get_race_record(h, 0, 0)
    assert sk.skm_get_race_record(h, 0, 0).record_text.startswith(RING)

    stored = m_clock.stored_record(0, 0, V_KEY)
    tampered = stored[:10] + ("0" if stored[10] != "0" else "1") + stored[11:]
    with pytest.raises(skylark.SkylarkError) as failed:
        sk.sk_parse_record_info(V_KEY, tampered)
    assert failed.value.error_code is None


def test_race_day_load_save_fly_show(sk, tmp_path):
    """A hand-written clock file loads, flies and shows what it holds."""
    path = tmp_path / "race.json"
    path.write_text('{"format": "skylark-virtual-clock", "version": 2, "kind": "M", "password": "secret",\n'
                    ' "time": "2026-05-16T05:00:00", "frozen": true,\n'
                    ' "registry": ["DE2026000001", "DE2026000002", "DE2026000003"],\n'
                    ' "races": [{"key": "2026051600000001", "time1": "2026-05-16T06:00:00"}]}\n')
    days = []
    for _ in range(2):
        with virtual.VirtualClock.load(sk, path) as clock:
            summary = clock.fly(0, (48.8566, 2.3522), datetime(2026, 5, 16, 6, 0, 0), loft=(52.3676, 4.9041), seed=5)
            assert abs(summary.distance - 430243.200) < 0.001 and summary.arrived == 3
            shown = clock.show()
            assert shown["password"] == "secret"
            days.append(shown["races"][0]["arrivals"])
            clock.save(tmp_path / "flown.json")
    assert days[0] == days[1] and len(days[0]) == 3  # the same seed, the same day
    with pytest.raises(virtual.VirtualClockError):
        with virtual.VirtualClock.load(sk, tmp_path / "flown.json") as clock:
            clock.fly(0, (48.8566, 2.3522), datetime(2026, 5, 16, 6, 0, 0))  # no site information


def _race_clock(sk, tmp_path, name):
    path = tmp_path / name
    path.write_text('{"format": "skylark-virtual-clock", "version": 2, "kind": "M", "password": "secret",\n'
                    ' "time": "2026-05-16T05:00:00", "frozen": true, "serial": 7,\n'
                    ' "registry": ["DE2026000001", "DE2026000002", "DE2026000003", "DE2026000004"],\n'
                    ' "races": [{"key": "2026051600000001", "time1": "2026-05-16T06:00:00"}]}\n')
    return virtual.VirtualClock.load(sk, path)


def test_live_flight_at_speed(sk, tmp_path):
    """fly(live=True) brings the birds of fly() in, each when the clock's time reaches it."""
    release = datetime(2026, 5, 16, 6, 0, 0)
    with _race_clock(sk, tmp_path, "once.json") as once:
        once.fly(0, (48.8566, 2.3522), release, loft=(52.3676, 4.9041), seed=9)
        expected = [once.get_arrival(0, i) for i in range(once.arrival_count(0))]
    with _race_clock(sk, tmp_path, "live.json") as clock:
        assert clock.speed == 1.0
        with pytest.raises(virtual.VirtualClockError) as frozen:
            clock.fly(0, (48.8566, 2.3522), release, loft=(52.3676, 4.9041), seed=9, live=True)
        assert frozen.value.code == virtual.ERR_BAD_STATE
        clock.freeze(False)
        clock.speed = 3600
        assert clock.speed == 3600.0
        with pytest.raises(virtual.VirtualClockError):
            clock.speed = 0
        planned = clock.fly(0, (48.8566, 2.3522), release, loft=(52.3676, 4.9041), seed=9, live=True)
        assert planned.arrived == 4 and clock.live_flight.running == 1
        assert clock.live_flight.pending == 4
        clock.time = expected[0][1] - timedelta(seconds=20)
        assert clock.wait_live(60)
        status = clock.live_flight
        assert (status.running, status.recorded, status.pending) == (0, 4, 0)
        assert [clock.get_arrival(0, i) for i in range(clock.arrival_count(0))] == expected
        clock.save(tmp_path / "saved.json")
    with virtual.VirtualClock.load(sk, tmp_path / "saved.json") as again:
        assert again.speed == 3600.0  # the file keeps it


def test_live_flight_stopped_and_closed(sk, tmp_path):
    with _race_clock(sk, tmp_path, "stop.json") as clock:
        clock.freeze(False)
        clock.time = datetime(2026, 5, 16, 6, 0, 0)
        clock.fly(0, (48.8566, 2.3522), datetime(2026, 5, 16, 6, 0, 0), loft=(52.3676, 4.9041), live=True)
        assert not clock.wait_live(0.05)  # hours to the first bird at the host's pace
        clock.stop_live()
        assert clock.live_flight.running == 0 and clock.arrival_count(0) == 0
        clock.fly(0, (48.8566, 2.3522), datetime(2026, 5, 16, 6, 0, 0), loft=(52.3676, 4.9041), live=True)
    # Closed with the flight running: the flight ended with it.
