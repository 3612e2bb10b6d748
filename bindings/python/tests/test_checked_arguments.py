"""The checked layer refuses mistaken arguments before anything is sent,
naming the export, the argument and what was wrong; the raw layer stays the
C interface and passes them on."""
import ctypes
from datetime import datetime, timedelta, timezone

import pytest

import skylark

WHEN = datetime(2026, 5, 16, 7, 30)
KEY = "5241434532303236"
RING = "2026A0001001"

# (export's method, arguments, the argument refused, words the message must hold)
MISTAKES = [
    ("skm_append_card", (RING + "1", 1, 2, 3, 4, 5, "00" * 12), "ringText", "13 digits"),
    ("skm_append_card", ("NL-2026-1234567", 1, 2, 3, 4, 5, "00" * 12), "ringText", "'N' at position 0"),
    ("skm_append_card", (RING, 1, 70000, 3, 4, 5, "00" * 12), "wordField1", "0 to 65535"),
    ("skm_append_card", (RING, 1, 2, -1, 4, 5, "00" * 12), "wordField2", "got -1"),
    ("skm_append_card", (RING, 256, 2, 3, 4, 5, "00" * 12), "byteField", "0 to 255"),
    ("skm_append_card", (RING, 1, 2, 3, 4, 1 << 32, "00" * 12), "longField", "0 to 4294967295"),
    ("skm_append_card", (RING, 1, 2, 3, 4, 5, "00" * 11), "dataField", "22 digits"),
    ("skm_append_card", (bytes(5), 1, 2, 3, 4, 5, "00" * 12), "ringText", "must be 6 bytes"),
    ("skm_append_card", (RING, 1.0, 2, 3, 4, 5, "00" * 12), "byteField", "integer"),
    ("skm_append_card", (RING, True, 2, 3, 4, 5, "00" * 12), "byteField", "integer"),
    ("skm_create_race", ("MAY16ORL", WHEN, WHEN, 0), "raceKeyHex", "'M' at position 0"),
    ("skm_create_race", (KEY[:-1], WHEN, WHEN, 0), "raceKeyHex", "15 digits"),
    ("skm_create_race", (KEY, WHEN.replace(tzinfo=timezone.utc), WHEN, 0), "firstTime", "time zone"),
    ("skm_create_race", (KEY, WHEN, datetime(1999, 12, 31), 0), "secondTime", "2000 to 2099"),
    ("skm_create_race", (KEY, float("nan"), WHEN, 0), "firstTime", "finite"),
    ("skm_create_race", (KEY, "2026-05-16", WHEN, 0), "firstTime", "datetime"),
    ("skm_confirm_race", (KEY, 70000, bytes(8)), "confirmValue", "16-bit"),
    ("skm_confirm_race", (KEY, 12, b"BASKET1"), "confirmData", "exactly 8 bytes, got 7"),
    ("skm_get_race_record", (0, 65536), "recordIndex", "0 to 65535"),
    ("skm_create_train", (WHEN, WHEN, 0x1FF), "trainByte", "0 to 255"),
    ("skm_set_train_site", (256, 1), "siteNo", "8-bit"),
    ("sk_connect_ex", ("x" * 17,), "password", "at most 8 characters"),
    ("sk_init_dev_ex", ("pigeon420",), "password", "at most 8 characters"),
    ("sk_set_pigeon", (datetime.now(timezone(timedelta(hours=2))),), "date", "convert it explicitly"),
    ("skm_set_phone_code", ("0031-20-5551234",), "phoneCode", "'-'"),
    ("skm_set_phone_code", ("1" * 33,), "phoneCode", "at most 32"),
    ("skm_set_staff_no", ("A" * 17,), "staffNo", "at most 16"),
    ("skm_set_site_info", ("00000001", "52.37000000", "004.89000000"), "coordText1", "DDD.FFFFFFFF"),
    ("skm_set_channel_no", (8 << 8, "00000001"), "index", "8-bit"),
    ("skh_add_race_card", (RING, "C0DE00000000001", WHEN), "cardCodeHex", "15 digits"),
    ("skr_format_card", (RING, "0000123"), "raceNoHex", "7 digits"),
]


@pytest.fixture
def test_clock(sk):
    lib = sk.clocklink
    lib.CLT_OpenTestClock.restype = ctypes.c_uint32
    lib.CLT_CallCount.restype = ctypes.c_uint32
    lib.CLT_CallCount.argtypes = (ctypes.c_uint32,)
    lib.CLT_Close.argtypes = (ctypes.c_uint32,)
    handle = lib.CLT_OpenTestClock()
    yield handle
    lib.CLT_Close(handle)


@pytest.mark.parametrize("method,args,argument,words", MISTAKES,
                         ids=[f"{m[0]}-{m[2]}-{i}" for i, m in enumerate(MISTAKES)])
def test_mistake_is_refused_before_any_call(sk, test_clock, method, args, argument, words):
    with pytest.raises(skylark.ArgumentError) as refused:
        getattr(sk, method)(test_clock, *args)
    assert refused.value.argument == argument
    assert refused.value.export in skylark.RULES
    assert str(refused.value).startswith(f"{refused.value.export}: {argument} ")
    assert words in str(refused.value)
    assert sk.clocklink.CLT_CallCount(test_clock) == 0


def test_handles_and_what_is_right_pass(sk, test_clock):
    with pytest.raises(skylark.ArgumentError, match="handle must be 0 to 4294967295"):
        sk.skm_get_race_count(-1)
    # bytes of the exact length and hex text of exactly the digits, any case, both go
    sk.skm_append_card(test_clock, bytes.fromhex(RING), 255, 65535, 0, 0, 0xFFFFFFFF, bytes(12))
    sk.skm_create_race(test_clock, KEY.lower(), WHEN, WHEN + timedelta(hours=12), 180000)
    sk.sk_connect_ex(test_clock, "pigeon42")
    sk.sk_connect_ex(test_clock)  # no password
    sk.skm_set_site_info(test_clock, "00000001", "052.37000000", "004.89000000")
    assert sk.clocklink.CLT_CallCount(test_clock) > 0


def test_raw_layer_is_the_c_interface(sk, test_clock):
    """sk.raw takes what the C interface takes: a 13-digit text goes out as the
    library reads it (its first 12 digits)."""
    assert sk.raw.SKM_AddTrainCard(test_clock, (RING + "1").encode()) == -1
    assert sk.clocklink.CLT_CallCount(test_clock) == 1
