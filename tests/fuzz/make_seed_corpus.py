#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into corpus/<target>/ beside this script.

The seeds are small hand-made inputs that reach the interesting syntax of each parser; the
fuzzer grows its own corpus from them elsewhere. Run again after changing a seed here.
"""
import pathlib
import shutil

US = b"\x1f"  # field separator inside one record
RS = b"\x1e"  # record separator
SEP = b"\x02"  # the page's own field separator

HERE = pathlib.Path(__file__).resolve().parent


def utf16le(text, bom=True):
    return (b"\xff\xfe" if bom else b"") + text.encode("utf-16-le")


def utf16be(text, bom=True):
    return (b"\xfe\xff" if bom else b"") + text.encode("utf-16-be")


# Edit script steps of the XML target: the first byte of a step picks the operation (modulo
# 9), the next bytes the name (modulo 11) and the value (modulo 8) from the target's tables.
REWIND, SIBLING, CHILD, ENTER, SET_ATTR, SET_CHILD_ATTR, INSERT, INSERT_CHILD, REMOVE = range(9)


def edits(*steps):
    return bytes(b for step in steps for b in step) + US


KORIX = (
    '<?xml version="1.0" encoding="UTF-8"?>\n<KorixSet>\n'
    '  <BaseSet URL2="http://127.0.0.1/home" Name="a"/>\n'
    '  <Net Ip="1.1.1.1"><Inner Ip="0"/></Net>\n</KorixSet>\n'
)
WIFI = (
    '<?xml version="1.0" encoding="UTF-8"?>\n<WifiList>\n'
    '\t<wifi Name="home" Psw="x"/>\n\t<wifi Name="office" Psw="y"/>\n</WifiList>\n'
)

XML_SEEDS = {
    "utf8_declared.xml": KORIX.encode(),
    "utf8_edits.xml": edits(
        (SIBLING, 0), (CHILD, 0), (SET_CHILD_ATTR, 1, 2), (INSERT_CHILD, 3, 6),
        (ENTER,), (SET_ATTR, 5, 7), (INSERT, 2, 0), (REMOVE,),
    ) + KORIX.encode(),
    "utf8_bom_wifi.xml": edits(
        (SIBLING, 0), (CHILD, 4), (CHILD, 4), (ENTER,), (REMOVE,), (REMOVE,),
        (INSERT, 4, 3), (SET_ATTR, 5, 5),
    ) + b"\xef\xbb\xbf" + WIFI.encode(),
    "utf16le_bom.xml": utf16le('<?xml version="1.0" encoding="UTF-16"?>\n<a x="\u00e9">'
                               "\u4e2d\u6587<b/></a>\n"),
    "utf16be_bom.xml": utf16be('<?xml version="1.0" encoding="UTF-16"?>\r\n<a><b y=\'1\'/></a>'),
    "utf16le_no_mark.xml": utf16le("<a><b>text</b></a>", bom=False),
    "latin1.xml": edits((SIBLING, 0), (INSERT_CHILD, 1, 5), (SET_ATTR, 1, 5)) +
    b'<?xml version="1.0" encoding="ISO-8859-1"?>\n<doc name="caf\xe9">na\xefve</doc>\n',
    "gb2312.xml": edits((SIBLING, 0), (INSERT_CHILD, 2, 7)) +
    '<?xml version="1.0" encoding="GB2312"?>\n<root t="\u4e2d">\u6587\u5b57</root>\n'.encode(
        "gb2312"),
    "ansi_undeclared.xml": b"<list>\n  <item v=\"\x80\x93\">\xe4\xf6\xfc</item>\n</list>\n",
    "cdata_entities.xml": edits((SIBLING, 0), (CHILD, 0), (ENTER,), (INSERT, 3, 4), (REMOVE,)) +
    b"<?xml version='1.0'?>\n<!-- note -->\n<?pi data?>\n<r a='1 &amp; 2' b=\"&#x4E2D;&lt;\">"
    b"<![CDATA[<not> & ]]]]><![CDATA[>]]><e>&unknown; &#65;</e></r>\n",
    "broken_tags.xml": edits((SIBLING, 0), (CHILD, 0), (SET_CHILD_ATTR, 2, 1), (INSERT_CHILD, 1, 1),
                             (ENTER,), (REMOVE,)) +
    b"<a><b><c x=\"1>\"></b><d flag e=x/></a><f>",
    "html_meta.html": b"<!DOCTYPE html>\n<html><head><meta http-equiv=\"Content-Type\" "
    b"content=\"text/html; charset=windows-1251\"></head><body>\xcf\xf0\xe8</body></html>\n",
    "empty_elements.xml": edits((SIBLING, 0), (INSERT_CHILD, 1, 0), (INSERT_CHILD, 2, 1),
                                (CHILD, 0), (ENTER,), (INSERT_CHILD, 3, 2), (REMOVE,),
                                (REWIND,), (INSERT, 3, 0)) +
    b"<top/>\n",
    "unknown_encoding.xml": b'<?xml version="1.0" encoding="no-such-charset"?><x a="\xc3\xa9"/>',
    # Inputs the fuzzer once failed on, kept as regressions.
    "found_double_slash_empty_tag.xml": b'\x01\x00\x07\x01\x01\x1f<x//>',
    "found_doubled_bom_utf16.xml": b'\xff\xfe\xff\xfe<\x00a\x00/\x00>\x00',
}

INI_BODY = (
    "; settings\n[HMI]\noem=1\nname = ZELVO\nbro=\"Chrome\"\n\n[Other]\nkey=v\n"
)


def ini(section, key, value, section2, key2, body):
    return US.join(part.encode() if isinstance(part, str) else part
                   for part in (section, key, value, section2, key2, body))


INI_SEEDS = {
    "lf_existing_key.ini": ini("HMI", "name", "Box", "Other", "oem", INI_BODY),
    "crlf_new_key.ini": ini("hmi", "lang", "en", "OTHER", "KEY",
                            INI_BODY.replace("\n", "\r\n")),
    "new_section.ini": ini("Fresh", "first", "0", "HMI", "bro", INI_BODY),
    "missing_file.ini": ini("HMI", "first", "1", "HMI", "oem", ""),
    "bare_cr_inside.ini": ini("A", "b", "2", "A", "c", "[A]\rb=1\r\nc=3\n"),
    "crs_end_last_value.ini": ini("HMI", "bro", "Firefox", "HMI", "lang", "[HMI]\nlang='en'k\r\r\r"),
    "utf16_mark.ini": ini("HMI", "name", "\u4e2d", "HMI", "oem",
                          utf16le("[HMI]\r\noem=1\r\nname=a\r\n")),
    "utf8_mark.ini": ini("HMI", "oem", "7", "HMI", "name",
                         b"\xef\xbb\xbf[HMI]\nname=x\noem=1\n"),
    "quotes_comments.ini": ini(" HMI ", " bro ", "Firefox", "HMI", "q",
                               "[HMI]\n;bro=no\n  bro  =  'Edge'  \nq=\"a\"\n"),
    "duplicate_sections.ini": ini("S", "k2", "-42", "s", "k",
                                  "[S]\nk=1\n[T]\nx=1\n[S]\nk2=2\n"),
    "no_final_eol.ini": ini("S", "new", "v", "S", "k", "[S]\nk=1"),
    "refused_key.ini": ini("S", ";k", "v", "S", "[k", "[S]\n;k=1\n[k=2\n"),
}

STRING_SEEDS = {
    "plain.properties": b"alert_title=Notice\ndetect_failed=Cannot reach the replaceBox\n",
    "bom_crlf.properties": b"\xef\xbb\xbfkey=value\r\nsecond=two\r\n",
    "comments.properties": b"# header\nkey=val # trailing\n#key2=x\nkey3=a=b\nnoequals\n=empty\n",
    "duplicates.properties": b"k=first\nk=second\nreplaceBox=replaceBoxreplaceBox\n",
    "utf8.properties": "title=\u4e2d\u6587\nq=\"quoted\"\n".encode(),
}

CONNECTION = ("<connection><type>CLIENT</type><name>{}</name><port>5001</port>"
              "<status><state>UP</state></status></connection>")

TNL_SEEDS = {
    "list.xml": ('<proto version="6.0"><operation type="GETLIST">' + CONNECTION.format("a") +
                 CONNECTION.format("b &amp; c") + "</operation></proto>").encode(),
    "list_two_operations.xml": ('<proto><operation type="GETLIST">' + CONNECTION.format("x") +
                                '</operation><operation type="GETLIST">' +
                                CONNECTION.format("y&#9;z&#13;") + "</operation></proto>").encode(),
    "status.xml": ('<?xml version="1.0"?>\n<proto version="6.0">\n <operation type="GETSTAT">\n'
                   "  <connection><name>a</name><status><state>IDLE</state><bytes>12</bytes>"
                   "</status></connection>\n </operation>\n</proto>\n").encode(),
    "error.xml": b'<proto><operation type="ERROR"><message>no</message></operation></proto>',
    "no_name.xml": b'<proto><operation type="GETLIST"><connection><type>UDP</type>'
                   b"</connection></operation></proto>",
    "no_type.xml": b"<proto><operation/></proto>",
    "broken.xml": b'<proto><operation type="GETLIST"><connection><name>a</name>',
    "cdata_mixed.xml": b'<proto><operation type="GETLIST"><connection><name>a<![CDATA[<b>]]>'
                       b"<i>c</i></name></connection></operation></proto>",
    # Inputs the fuzzer once failed on, kept as regressions.
    "found_cdata_tab_in_name.xml": b'<proto><operation type="GETLIST"><connection><name>'
                                   b"<![CDATA[a\tb\rc]]></name></connection></operation></proto>",
    "found_blank_name_by_reference.xml": b'<proto><operation type="GETLIST"><connection><name>'
                                         b"&#32;</name></connection></operation></proto>",
    "found_blank_text_between_elements.xml": b'<proto><operation type="GETLIST"><connection>'
                                             b"<name>a<b/>&#10;&#10;<c/>d</name></connection>"
                                             b"</operation></proto>",
}

PAGE_SEEDS = {
    "save_setup.cmd": b"0" + US + b"BaseSet" + SEP + b"URL2" + SEP + b"http://127.0.0.1/x" + SEP
    + b"Net" + SEP + b"Ip" + SEP + b"10.0.0.1" + SEP,
    "save_setup_incomplete.cmd": b"0" + US + b"BaseSet" + SEP + b"URL2" + SEP,
    "write_setup.cmd": b"9" + US + b"Net" + SEP + b"Ip" + SEP + b"<&\">" + SEP,
    "wifi.cmd": RS.join([b"19" + US + b"cafe" + SEP + b"pass" + SEP,
                         b"19" + US + "\u00e9t\u00e9".encode() + SEP + b"x",
                         b"20" + US + b"home", b"19" + US + SEP + b"nameless"]),
    "open_project.cmd": b"14" + US + US + b"/tmp/project.zcpj",
    "save_project.cmd": b"15" + US + b"secret" + US + b"/tmp/" + b"p" * 300,
    "cancelled_dialogs.cmd": RS.join([b"14", b"15" + US + b"pw"]),
    "link.cmd": RS.join([b"11" + US + b"LocalNetwork", b"12" + US + b"192.168.1.5",
                         b"12" + US, b"10" + US + b" -3"]),
    "numbers.cmd": RS.join([b" +16" + US + b"3", b"99999999999999", b"-1", b"abc" + US + b"x",
                            b"22" + US + b"China Standard Time", b"21"]),
    "pass_through.cmd": RS.join([b"7" + US + b"COM3,9600", b"8", b"2", b"13"]),
}


def discovery(own, sender, datagram, found):
    """An answer to the discovery broadcast: own address, sender, datagram, found list."""
    return US.join(part.encode() if isinstance(part, str) else part
                   for part in (own, sender, datagram, found))


DISCOVERY_SEEDS = {
    "first_answer.udp": discovery("192.168.1.1", "192.168.1.20", "ZELVO-B100", ""),
    "own_echo.udp": discovery("192.168.1.1", "192.168.1.1", "GetHostName\r", "192.168.1.20;"),
    "seven_beside_71.udp": discovery("10.0.5.1", "10.0.5.7", "BOX", "10.0.5.71;10.0.5.17;"),
    "answer_twice.udp": discovery("10.0.5.1", "10.0.5.20", b"BOX\0rest", "10.0.5.20;"),
    "two_adapters.udp": discovery("172.16.0.2", "192.168.1.20", b"\xff" * 64,
                                  "192.168.1.20;192.168.1.31;"),
    "not_dotted.udp": discovery("abc", "127.0.0.1", "", "garbage;;1.2.3;"),
}

# Receives of the box link, one per field; an empty field is an empty receive.
BOX_REPLY_SEEDS = {
    "ok.txt": b"OK\r",
    "error.txt": b"ERROR\r",
    "error_more.txt": b"ERROR\rmore",
    "late.txt": US.join([b"", b"", b"Mode=2"]),
    "nothing.txt": US.join([b""] * 6),
    "versions.txt": US.join([b"0012", b"kernel=1.2.3"]),
    "versions_split.txt": US.join([b"0030", b"OSVER:V1.0.2\r\n", b"fsFLASHVER:V1.0\r\n"]),
    "versions_error.txt": US.join([b"0006", b"ERROR\r"]),
    "versions_huge.txt": US.join([b"9999", b"a" * 1024, b"b" * 900]),
    "nul_inside.txt": b"OK\x00\rhidden",
    # A first receive that starts with NUL, then a shorter reply: no stale tail.
    # A length field that starts with NUL, then a shorter one: no digits left over.
    "found_stale_length.txt": b"\x00011" + US + b"1" + US + b"\xff\xff",
    "found_stale_tail.txt": b"\x00n\x00\x00e\x00\x7f0R" + US + b"R01\x0c.2.3",
}


def network(bits, reply):
    """A network test reply after the byte of the box type's function bits."""
    return bytes([bits]) + (reply.encode() if isinstance(reply, str) else reply)


NETWORK_REPLY_SEEDS = {
    "json_all.json": network(7, '{"conNetType":0,"pingTime":"12.5/30.1/20.0","ethEnable":1,'
                             '"ethIp":"192.168.1.20","ethMac":"00:11:22:33:44:55","wifiEnable":1,'
                             '"wifiIp":"","wifiMac":"66:77:88:99:aa:bb","Mob4GEnable":1,'
                             '"Mob4GIp":"10.64.1.2","imei":"861234567890123"}'),
    "json_2g_case.json": network(0, '{"MOB2GENABLE":1,"mob2gip":"10.0.0.9","IMEI":"8612",'
                                 '"CONNETTYPE":3,"PINGTIME":"1.5/2/3.25"}'),
    "json_two_pings.json": network(1, '{"ethEnable":1,"conNetType":0,"pingTime":"10/20",'
                                   '"ethIp":5,"ethMac":null}'),
    "json_ansi.json": network(3, b'{"wifiEnable":2,"wifiIp":"caf\xe9","conNetType":1,'
                              b'"pingTime":"1e308/-inf/nan"}'),
    "text_three.txt": network(0, "eth0:0,ip:192.168.1.20\n,ping:10ms\n30ms\n20ms\n;"
                              "wlan0:1,ip:,ping:;ppp0:0,ip:10.64.1.2,ping:5ms\n;rest"),
    "text_carry.txt": network(0, b"eth1:0,ip:;x,ip:caf\xe9,ping:7ms\n;lo:2"),
    "format.txt": network(0, "%.2f ms / %5.1lf%% / %s %n %*f %.999f %g %Lf"),
}


def update_list(serial, kernel, text):
    """A box type's serial number and kernel text, then the update list."""
    return US.join(part.encode() if isinstance(part, str) else part
                   for part in (serial, kernel, text))


def update_element(kernel, image, key, version):
    return ('<element Kernel="%s" ImgName="%s" DownName="system.img" VerName="%s" Ver="%s" '
            'Md5="0123456789abcdef0123456789abcdef"/>' % (kernel, image, key, version))


UPDATE_LIST_SEEDS = {
    "demo.ibl": update_list("ZG", "A7", '<?xml version="1.0" encoding="UTF-8"?>\n<UpdateInfo>\n'
                            '  <ZELVOType SerialNo="ZG">\n    '
                            + update_element("A7", "systemA7.img", "OSVER:", "V1.0.3-P:FS")
                            + "\n    " + update_element("A7", "flashA7.img", "fsFLASHVER:",
                                                         "V1.0.2-P:FS")
                            + "\n  </ZELVOType>\n</UpdateInfo>\n"),
    "kernel_twice.ibl": update_list("ZE", "ARM9", "<UpdateInfo><ZELVOType SerialNo=\"ZG\"/>"
                                    "<ZELVOType SerialNo=\"ZE\">"
                                    + update_element("ARM9\\A7\\ARM9", "imageARM9.bin",
                                                     "version", "V1.0.5")
                                    + update_element("\\", "x.img", "", "")
                                    + "</ZELVOType></UpdateInfo>"),
    "many.ibl": update_list("ZG", "A7", "<UpdateInfo><ZELVOType SerialNo=\"ZG\">"
                            + update_element("A7\\A7", "a.img", "OSVER:", "V9") * 11
                            + "</ZELVOType></UpdateInfo>"),
    "long_texts.ibl": update_list("ZG", "", "<UpdateInfo><ZELVOType SerialNo=\"ZG\">"
                                  + update_element("", "\u00e9" * 200, "&amp;" * 3, "V" * 300)
                                  + "</ZELVOType></UpdateInfo>"),
    "multi_kernel.ibl": update_list("ZG", "ARM9\\A7", "<UpdateInfo><ZELVOType SerialNo=\"ZG\">"
                                    + update_element("ARM9\\A7", "a.img", "OSVER:", "V2")
                                    + "</ZELVOType></UpdateInfo>"),
    "broken.ibl": update_list("ZG", "A7", "<UpdateInfo><ZELVOType SerialNo=\"ZG\"><element "
                              "Kernel=\"A7\" ImgName=\"a</UpdateInfo>"),
}

# Kernel text, list version, then the receives of the version query (length field, body).
VERSION_REPORT_SEEDS = {
    "newer.txt": US.join([b"A7", b"V1.0.3-P:FS", b"0044",
                          b"OSVER:V1.0.2-P:FS\r\nfsFLASHVER:V1.0.2-P:FS\r\n"]),
    "oldest_flash.txt": US.join([b"A7", b"V0.9", b"0024", b"fsFLASHVER:V1.0.0-P:FS\r\n"]),
    "legacy.txt": US.join([b"ARM9\\A7", b"V1.0.5", b"0014", b"OSVER:V1.0.2\r\n"]),
    "case_and_tags.txt": US.join([b"A7", b"V1.0.3-P:FS x", b"0040",
                                  b"osver:V1.0.2-P:XX\nVERSION a-V1.0.0.1\n"]),
    "split_body.txt": US.join([b"A7", b"1.2.3.4.5.6.7.8.9.10.11", b"0030", b"OSVER:1.2.3.4.",
                               b"5.6.7.8.9.10.12\rkernel:"]),
    "huge_numbers.txt": US.join([b"A7", b"V99999999999999999999.1", b"0040",
                                 b"OSVER:V99999999999999999999.0\r\n" + b"\x00tail"]),
    "long_line.txt": US.join([b"A7", b"V1.0.3", b"0400", b"fsFLASHVER:V1.0." + b"9" * 380]),
    "error.txt": US.join([b"A7", b"V1", b"0006", b"ERROR\r"]),
    "nothing.txt": US.join([b"", b"", b""]),
}

def transfer_header(data, md5=None):
    import hashlib
    import struct
    text = (md5 if md5 is not None else hashlib.md5(data).hexdigest()).encode()
    return struct.pack("<I", 44) + text.ljust(32, b"\0")[:32] + bytes(4) + struct.pack("<I", len(data))


# Receives of a transfer: the status answer, the header and the data of an upload; the same
# receives are read as acknowledgements.
TRANSFER_SEEDS = {
    "upload.txt": US.join([b"UpLoadStat:0", transfer_header(b"hello"), b"hello"]),
    "upload_split.txt": US.join([b"UpLoadStat:0", transfer_header(b"abcdef")[:20],
                                 transfer_header(b"abcdef")[20:], b"abc", b"def"]),
    "upload_empty.txt": US.join([b"UpLoadStat:0", transfer_header(b"")]),
    "upload_upper.txt": US.join([b"UpLoadStat:0", transfer_header(b"x", "9DD4E461268C8034F5C8564E155C67A6"), b"x"]),
    "upload_short.txt": US.join([b"UpLoadStat:0", transfer_header(b"0123456789"), b"0123", b""]),
    "upload_huge.txt": US.join([b"UpLoadStat:0", b"\x2c\0\0\0" + b"a" * 36 + b"\xff\xff\xff\xff"]),
    "password.txt": b"UpLoadStat:1",
    "forbidden.txt": b"UpLoadStat:2",
    "acks.txt": US.join([b"ERROR\r", b"okok!\r", b"okok!\r", b"END"]),
    "acks_errors.txt": US.join([b"ERROR\r", b"ERROR\r"]),
    "acks_empty.txt": US.join([b""] * 9 + [b"okok!\r"]),
    "acks_nul.txt": US.join([b"okok\0!\r", b"ok\0ok!\r", b"okok!\r"]),
}

def web(path, host="127.0.0.1:8123", origin="", cookie="", token=""):
    return "\x1f".join([path, host, origin, cookie, token]).encode()


TOKEN = "a" * 64
WEB_SEEDS = {
    "page_with_cookie": web("/html/a.html", cookie="x=1; zelvo_token_8123=" + TOKEN),
    "nested_query_token": web("/html/sub/b.js", token=TOKEN),
    "skin": web("/Skins/Default/c.png", origin="http://127.0.0.1:8123", token=TOKEN),
    "icon": web("/title.ico", token=TOKEN),
    "dot_dot": web("/html/../SoftLang.ini", token=TOKEN),
    "link_out": web("/html/out.html", token=TOKEN),
    "link_up": web("/html/up/SoftLang.ini", token=TOKEN),
    "link_across": web("/Skins/pages/a.html", token=TOKEN),
    "backslash": web("/html/..\\SoftLang.ini", token=TOKEN),
    "foreign_origin": web("/html/a.html", origin="http://evil.example", token=TOKEN),
    "other_host": web("/html/a.html", host="localhost:8123", token=TOKEN),
    "other_port_cookie": web("/html/a.html", cookie="zelvo_token_8124=" + TOKEN),
}

UNINSTALL = "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\"
WOW_UNINSTALL = "[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\"

WINE_REGISTRY_SEEDS = {
    "two_views.reg": (
        "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n"
        + UNINSTALL + "Quillon] 1700000000\n#time=1d9\n"
        '"DisplayName"="Quillon Editor"\n"InstallLocation"="C:\\\\Program Files\\\\Quillon\\\\"\n\n'
        + WOW_UNINSTALL + "Old] 1700000000\n"
        '"DisplayName"="Old \\"quoted\\" tool"\n'
        '"InstallLocation"=str(2):"%ProgramFiles%\\\\Old"\n').encode(),
    "escapes.reg": (UNINSTALL + "Esc]\n"
                    '"DisplayName"="\\x4e2d\\x6587 \\xd83d\\xde00 \\101\\t\\e\\z\\x"\n'
                    '"InstallLocation"="D:\\\\\\xe9t\\xe9\\\\"\n').encode(),
    "crlf_case_indent.reg": (UNINSTALL.upper() + "A]\r\n  \"displayname\"=\"a\"\r\n"
                             "\t\"INSTALLLOCATION\"=\"C:\\\\a\\\\\"\r\n").encode(),
    "repeated_and_nested.reg": (UNINSTALL + "A]\n\"DisplayName\"=\"first\"\n"
                                + UNINSTALL + "A\\\\Sub]\n\"DisplayName\"=\"nested\"\n"
                                + UNINSTALL + "a]\n\"DisplayName\"=\"second\"\n"
                                + UNINSTALL[:-2] + "]\n\"DisplayName\"=\"the key itself\"\n"
                                "[Software\\\\Other]\n\"DisplayName\"=\"other\"\n").encode(),
    "broken_lines.reg": (UNINSTALL + "Open\n\"DisplayName\"=\"x\"\n" + UNINSTALL + "B]\n"
                         "\"DisplayName\"=dword:00000001\n\"DisplayName\"=\"unterminated\n"
                         "\"Display\\\"Name\"=\"y\"\n\"InstallLocation\"=hex(2):43,00\n"
                         "\"DisplayName\"=\"z\\\\").encode(),
}


def requests(*texts):
    return "\n".join(texts).encode()


def tunnel_op(kind, body="", extra=""):
    return '<proto version="6.0"><operation type="%s"%s>%s</operation></proto>' % (kind, extra, body)


def tunnel_connection(name, kind="CLIENT", more=""):
    return "<connection><type>%s</type><name>%s</name>%s</connection>" % (kind, name, more)


FULL_SETTINGS = (
    "<port><type>Virtual</type><name>COM7</name><settings>9600,n,8,1</settings></port>"
    '<network><host name="127.0.0.1" port="5001"/><host name="localhost" port="99999"/>'
    '<incomeport port="6001"/><keepalive enable="1" timeout="500" noreply="-3"/>'
    '<break enable="1" timeout="x"/><nagle enable="0"/></network>'
    '<protocol><reconnect enable="0" timeout="2500"/><maxconnections value="-7"/></protocol>')

TUNNEL_REQUEST_SEEDS = {
    "add_list_stat.xml": requests(
        tunnel_op("ADD", tunnel_connection("a", more=FULL_SETTINGS)),
        tunnel_op("ADD", tunnel_connection("b", "SERVER")), tunnel_op("GETLIST"),
        tunnel_op("GETSTAT", extra=' applyto="a"')),
    "update_rename.xml": requests(
        tunnel_op("ADD", tunnel_connection("a")), tunnel_op("ADD", tunnel_connection("b", "UDP")),
        tunnel_op("UPDATE", tunnel_connection("c", "UDP", FULL_SETTINGS), ' applyto="a"'),
        tunnel_op("UPDATE", tunnel_connection("b"), ' applyto="c"'),
        tunnel_op("GETSTAT", extra=' applyto="c"')),
    "delete.xml": requests(
        tunnel_op("ADD", tunnel_connection("x&#9;y&#13;")), tunnel_op("ADD", tunnel_connection("z")),
        tunnel_op("DELETE", tunnel_connection("z")), tunnel_op("DELETE", tunnel_connection("z")),
        tunnel_op("DELETE", extra=' all="1"'), tunnel_op("GETLIST")),
    "refused.xml": requests(
        tunnel_op("ADD", "<connection><type>CLIENT</type></connection>"),
        tunnel_op("ADD", tunnel_connection("a")), tunnel_op("ADD", tunnel_connection("a")),
        tunnel_op("UPDATE", tunnel_connection(""), ' applyto="a"'),
        tunnel_op("UPDATE", tunnel_connection("a"), ' applyto="missing"'), tunnel_op("NOPE"),
        "<proto><operation type=\"ADD\"><connection></proto>", "garbage</proto>  \r\n"),
    "with_status.xml": requests(
        tunnel_op("ADD", tunnel_connection("s", "SERVER", "<status><port state=\"0\"/></status>"
                                           "<port><type>Virtual</type><name>com255</name></port>")),
        tunnel_op("GETSTAT", extra=' applyto="s"')),
    "odd_names.xml": requests(
        tunnel_op("ADD", tunnel_connection("<![CDATA[a<b>]]>")),
        tunnel_op("ADD", tunnel_connection("a<i/>b")),
        tunnel_op("ADD", tunnel_connection("&amp;&#x4E2D;")), tunnel_op("GETLIST")),
    # Inputs the fuzzer once failed on, kept as regressions.
    "found_blank_name.xml": requests(
        tunnel_op("ADD", tunnel_connection("&#32;")), tunnel_op("ADD", tunnel_connection("\n")),
        tunnel_op("UPDATE", tunnel_connection(" "), ' applyto="\n"')),
    "found_name_split_by_comment.xml": requests(
        tunnel_op("ADD", tunnel_connection("a<!---->b")),
        tunnel_op("ADD", tunnel_connection("c")),
        tunnel_op("UPDATE", tunnel_connection("d<?x?>e"), ' applyto="c"')),
}


def pass_through(description, address=""):
    return description.encode() + US + address.encode()


PASS_THROUGH_SEEDS = {
    "direct.json": pass_through('{"baudrate":115200,"stop_bit":2,"data_length":8,'
                                '"check_bit":"NONE","url":"127.0.0.1:61"}', "127.0.0.1"),
    "relay_subdomain.json": pass_through('{"type":1,"url":"host.example:7000:panel-7",'
                                         '"e_port":"5002x"}', "127.0.0.2"),
    "strings_and_case.json": pass_through('{"TYPE":"1","URL":"a:b:c:d","BaudRate":"9600",'
                                          '"check_bit":""}', "::1"),
    "no_colon.json": pass_through('{"url":"justahost","e_port":1e99}', "127.0.0.1"),
    "huge_numbers.json": pass_through('{"url":"h:99999999999999999999:x","baudrate":-1e300,'
                                      '"stop_bit":"-99999999999"}', "1.2.3.4"),
    "unresolved.json": pass_through('{"url":"h:1"}'),
    "long_address.json": pass_through('{"url":"h:+12"}', "1." * 20),
    "not_object.json": pass_through('["url","h:1"]', "127.0.0.1"),
    "empty.json": pass_through("", "127.0.0.1"),
    "nul_inside.json": b'{"url":"a:1\\u0000:b"}\x00{"url":"c:2"}' + US + b"127.0.0.1",
}


def dns_name(dotted):
    return b"".join(bytes([len(p)]) + p.encode() for p in dotted.split(".") if p) + b"\0"


def dns_record(owner, rtype, data):
    fixed = rtype.to_bytes(2, "big") + b"\0\1\0\0\0\x3c" + len(data).to_bytes(2, "big")
    return owner + fixed + data


def dns_reply(host, *records, answers=None):
    count = len(records) if answers is None else answers
    header = b"\x12\x34\x81\x80\0\1" + count.to_bytes(2, "big") + b"\0\0\0\0"
    return host.encode() + US + header + dns_name(host) + b"\0\1\0\1" + b"".join(records)


HOST_PTR = b"\xc0\x0c"  # the question's name
FIRST_ANSWER = 12 + len(dns_name("up.test")) + 4

DNS_REPLY_SEEDS = {
    "address.dns": dns_reply("up.test", dns_record(HOST_PTR, 1, bytes([127, 0, 0, 2]))),
    "cname_chain.dns": dns_reply(
        "up.test", dns_record(HOST_PTR, 5, dns_name("a.test")),
        dns_record(dns_name("a.test"), 5, b"\1b" + bytes([0xC0, FIRST_ANSWER + 12])),
        dns_record(dns_name("b.a.test"), 1, bytes([127, 0, 0, 3])),
        dns_record(HOST_PTR, 15, b"\0\1\0")),
    "foreign_owner.dns": dns_reply("up.test", dns_record(dns_name("x.test"), 1, b"\1\2\3\4")),
    "pointer_loop.dns": dns_reply(
        "up.test", dns_record(bytes([1, 97, 0xC0, FIRST_ANSWER]), 1, b"\1\2\3\4")),
    "alias_loop.dns": dns_reply(
        "up.test", dns_record(HOST_PTR, 5, bytes([0xC0, FIRST_ANSWER + 12]))),
    "address_five_bytes.dns": dns_reply("up.test", dns_record(HOST_PTR, 1, b"\1\2\3\4\5")),
    "data_past_end.dns": dns_reply("up.test", dns_record(HOST_PTR, 1, b"\1\2\3\4"))[:-1],
    "more_answers_announced.dns": dns_reply(
        "up.test", dns_record(HOST_PTR, 1, b"\1\2\3\4"), answers=3),
    "short.dns": b"up.test" + US + b"\x12\x34\x81\x80\0\1\0\1\0\0\0",
}


CORPORA = {
    "xml_document": XML_SEEDS,
    "ini_profile": INI_SEEDS,
    "string_file": STRING_SEEDS,
    "tnl_reply": TNL_SEEDS,
    "page_command": PAGE_SEEDS,
    "web_request": WEB_SEEDS,
    "box_reply": BOX_REPLY_SEEDS,
    "discovery_reply": DISCOVERY_SEEDS,
    "network_reply": NETWORK_REPLY_SEEDS,
    "update_list": UPDATE_LIST_SEEDS,
    "version_report": VERSION_REPORT_SEEDS,
    "transfer_reply": TRANSFER_SEEDS,
    "wine_registry": WINE_REGISTRY_SEEDS,
    "tunnel_request": TUNNEL_REQUEST_SEEDS,
    "pass_through_description": PASS_THROUGH_SEEDS,
    "dns_reply": DNS_REPLY_SEEDS,
}


def main():
    for target, seeds in CORPORA.items():
        folder = HERE / "corpus" / target
        shutil.rmtree(folder, ignore_errors=True)
        folder.mkdir(parents=True)
        assert len(seeds) <= 20, target
        for name, data in seeds.items():
            assert len(data) < 2048, name
            (folder / name).write_bytes(data)


if __name__ == "__main__":
    main()
