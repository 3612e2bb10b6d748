"""Ring tags through a virtual reader: format, read back, and a failure
without a tag (the reader has no ClockLink error code)."""
import pytest

import skylark
from skylark import virtual
from skylark.virtual import VirtualReader


def test_tag_road(sk):
    with VirtualReader(sk) as reader:
        with pytest.raises(skylark.SkylarkError) as empty:
            sk.skr_active_card(reader.handle)
        assert empty.value.export == "SKR_ActiveCard" and empty.value.error_code is None
        reader.put_tag(bytes.fromhex("A1B2C3D4"))
        assert sk.skr_active_card(reader.handle) == "A1B2C3D4"
        sk.skr_format_card(reader.handle, "0123456789AB", bytes.fromhex("00001234"))
        assert sk.skr_read_card(reader.handle) == ("0123456789AB", "00001234")
        assert reader.read_tag_page(0) == bytes.fromhex("A1B2C3D4")
        reader.fail_next_write(virtual.RRV_WRITE_REFUSED)
        with pytest.raises(skylark.SkylarkError) as refused:
            sk.skr_format_card(reader.handle, "0123456789AB", "00005678")
        assert refused.value.refused_by == skylark.READER
        sk.skr_deactive_card(reader.handle)
        reader.take_tag()
        with pytest.raises(virtual.VirtualClockError, match="RRV_TakeTag"):
            reader.take_tag()


FRAME = ["00223229", "9D12AB66", "80C0A070", "48046207"]  # ring 112233445566, race 01020304


def test_reader_saved_and_loaded(sk, tmp_path):
    path = tmp_path / "reader.json"
    uid, other = bytes.fromhex("5A01C37E"), bytes.fromhex("00000001")
    with VirtualReader(sk) as reader:
        reader.add_tag(other)
        with pytest.raises(virtual.VirtualClockError, match="RRV_AddTag"):
            reader.add_tag(other)
        reader.put_tag(uid)
        for page, data in enumerate(FRAME, start=4):
            reader.write_tag_page(page, bytes.fromhex(data))
        reader.write_tag_page(1, bytes.fromhex("060800AA"), uid)
        reader.write_tag_page(7, bytes.fromhex("480462FF"))  # a wrong race check byte
        with pytest.raises(virtual.VirtualClockError, match="RRV_WriteTagPage"):
            reader.write_tag_page(0, b"\0\0\0\0")  # the UID is never written
        reader.save(path)
        shown = reader.show()
    assert shown["field"] == "5A01C37E"
    assert [t["uid"] for t in shown["tags"]] == ["00000001", "5A01C37E"]
    assert shown["tags"][1]["pages"][2:6] == FRAME[:3] + ["480462FF"]

    with VirtualReader.load(sk, path) as loaded:
        assert loaded.read_tag_page(7) == bytes.fromhex("480462FF")
        assert loaded.read_tag_page(1, uid) == bytes.fromhex("060800AA")
        assert loaded.read_tag_page(1, other) == bytes.fromhex("060000AA")
        # The library does not examine the check bytes: the numbers read back.
        assert sk.skr_active_card(loaded.handle) == "5A01C37E"
        assert sk.skr_read_card(loaded.handle) == ("112233445566", "01020304")


def test_refused_reader_file_names_the_field(sk, tmp_path):
    path = tmp_path / "reader.json"
    path.write_text('{"format": "skylark-virtual-reader", "version": 1, "tags": [{"uid": "00000001"}],'
                    ' "field": "00000002"}')
    with pytest.raises(virtual.VirtualClockError) as refused:
        VirtualReader.load(sk, path)
    assert refused.value.code == virtual.RRV_ERR_FILE_DAMAGED and refused.value.name == "RRV_ERR_FILE_DAMAGED"
    assert "/field: no tag of this UID" in str(refused.value)
    with pytest.raises(virtual.VirtualClockError) as missing:
        VirtualReader.load(sk, tmp_path / "missing.json")
    assert missing.value.code == virtual.RRV_ERR_FILE_IO
    with VirtualReader(sk) as reader, pytest.raises(virtual.VirtualClockError) as unwritable:
        reader.save(tmp_path / "no-such-folder" / "reader.json")
    assert unwritable.value.code == virtual.RRV_ERR_FILE_IO
