# Writes the .docx documents of the word editor's HTML tests with python-docx,
# i.e. made by another program than the word processor:
#   htmlclean_docs.py <kind> <out.docx> <folder for the pictures>
# kind: headings, lists, table, link, colour, pictures, rich (all of them).
import copy
import struct
import sys
import zlib

import docx
from docx.enum.text import WD_COLOR_INDEX
from docx.oxml import OxmlElement
from docx.oxml.ns import qn
from docx.shared import Inches, Pt, RGBColor


def png(path, rgb, w=40, h=30):
    raw = b''.join(b'\x00' + bytes(rgb) * w for _ in range(h))

    def chunk(t, d):
        c = struct.pack('>I', len(d)) + t + d
        return c + struct.pack('>I', zlib.crc32(t + d) & 0xffffffff)
    data = (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 2, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b''))
    with open(path, 'wb') as f:
        f.write(data)


def hyperlink(p, url, text):
    rid = p.part.relate_to(url, 'http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink',
                           is_external=True)
    h = OxmlElement('w:hyperlink')
    h.set(qn('r:id'), rid)
    r = OxmlElement('w:r')
    rpr = OxmlElement('w:rPr')
    st = OxmlElement('w:rStyle')
    st.set(qn('w:val'), 'Hyperlink')
    rpr.append(st)
    r.append(rpr)
    t = OxmlElement('w:t')
    t.text = text
    r.append(t)
    h.append(r)
    p._p.append(h)


def picture(p, path, name=None, descr=None, title=None, float_right=False):
    shape = p.add_run().add_picture(path, width=Inches(1.0))
    inline = shape._inline
    pr = inline.docPr
    if name is not None:
        pr.set('name', name)
    if descr is not None:
        pr.set('descr', descr)
    if title is not None:
        pr.set('title', title)
    if not float_right:
        return
    # The same picture anchored to the paragraph, aligned right, text around it.
    anchor = OxmlElement('wp:anchor')
    for k, v in dict(distT='0', distB='0', distL='114300', distR='114300', simplePos='0', relativeHeight='2',
                     behindDoc='0', locked='0', layoutInCell='1', allowOverlap='1').items():
        anchor.set(k, v)
    sp = OxmlElement('wp:simplePos')
    sp.set('x', '0')
    sp.set('y', '0')
    anchor.append(sp)
    ph = OxmlElement('wp:positionH')
    ph.set('relativeFrom', 'column')
    al = OxmlElement('wp:align')
    al.text = 'right'
    ph.append(al)
    anchor.append(ph)
    pv = OxmlElement('wp:positionV')
    pv.set('relativeFrom', 'paragraph')
    po = OxmlElement('wp:posOffset')
    po.text = '0'
    pv.append(po)
    anchor.append(pv)
    anchor.append(copy.deepcopy(inline.extent))
    ee = OxmlElement('wp:effectExtent')
    for k in ('l', 't', 'r', 'b'):
        ee.set(k, '0')
    anchor.append(ee)
    wr = OxmlElement('wp:wrapSquare')
    wr.set('wrapText', 'bothSides')
    anchor.append(wr)
    anchor.append(copy.deepcopy(pr))
    anchor.append(copy.deepcopy(inline.graphic))
    inline.getparent().replace(inline, anchor)


def list_item(d, text, style, level):
    p = d.add_paragraph(text, style=style)
    num_id = d.styles[style].element.pPr.numPr.numId.val
    ppr = p._p.get_or_add_pPr()
    numpr = OxmlElement('w:numPr')
    ilvl = OxmlElement('w:ilvl')
    ilvl.set(qn('w:val'), str(level))
    nid = OxmlElement('w:numId')
    nid.set(qn('w:val'), str(num_id))
    numpr.append(ilvl)
    numpr.append(nid)
    ppr.append(numpr)


def headings(d, folder):
    d.add_heading('Photosynthesis', level=1)
    p = d.add_paragraph('Plants make ')
    p.add_run('sugar').bold = True
    p.add_run(' from ')
    p.add_run('light').italic = True
    p.add_run(' and ')
    p.add_run('water').underline = True
    p.add_run('. H')
    p.add_run('2').font.subscript = True
    p.add_run('O and m')
    p.add_run('2').font.superscript = True
    p.add_run('. ')
    p.add_run('old').font.strike = True
    d.add_heading('Steps', level=2)
    d.add_paragraph('A second paragraph.')


def lists(d, folder):
    # A list as the very first block does not come back whole through the
    # word processor's paste (its first item merges into the document's
    # first paragraph); a teacher's page rarely starts with one.
    d.add_paragraph('Steps:')
    list_item(d, 'Collect light', 'List Number', 0)
    list_item(d, 'Chlorophyll absorbs', 'List Number', 1)
    list_item(d, 'Split water', 'List Number', 0)
    list_item(d, 'Bullet one', 'List Bullet', 0)
    list_item(d, 'Bullet nested', 'List Bullet', 1)


def table(d, folder):
    t = d.add_table(rows=3, cols=3)
    t.style = 'Table Grid'
    for i, h in enumerate(['Part', 'Role', 'Colour']):
        t.cell(0, i).text = h
    t.rows[0]._tr.get_or_add_trPr().append(OxmlElement('w:tblHeader'))
    t.cell(1, 0).text = 'Leaf'
    t.cell(1, 1).text = 'Makes food'
    t.cell(1, 2).text = 'Green'
    t.cell(2, 0).merge(t.cell(2, 1)).text = 'Merged root and stem'
    t.cell(2, 2).text = 'Brown'


def link(d, folder):
    p = d.add_paragraph('Read more at ')
    hyperlink(p, 'https://example.org/photo?a=1&b=2', 'the science page')
    p.add_run('.')


def colour(d, folder):
    p = d.add_paragraph()
    p.add_run('Red warning').font.color.rgb = RGBColor(0xC0, 0, 0)
    p.add_run(' and ')
    p.add_run('highlighted').font.highlight_color = WD_COLOR_INDEX.YELLOW
    p.add_run(' and ')
    p.add_run('big').font.size = Pt(20)


def pictures(d, folder):
    png(folder + '/red.png', (255, 0, 0))
    png(folder + '/blue.png', (0, 0, 255), 30, 20)
    png(folder + '/green.png', (0, 160, 0))
    p = d.add_paragraph('Inline leaf: ')
    picture(p, folder + '/red.png', name='Leaf photo', descr='A red leaf on white')
    p = d.add_paragraph('No alt: ')
    picture(p, folder + '/blue.png', name='Picture 7')
    p = d.add_paragraph('Floated: ')
    picture(p, folder + '/green.png', name='Sun diagram', descr='The sun shining', title='Sun', float_right=True)
    p.add_run(' text beside the floated picture goes on for a while.')


KINDS = dict(headings=[headings], lists=[lists], table=[table], link=[link], colour=[colour], pictures=[pictures],
             rich=[headings, lists, table, link, colour, pictures])

kind, out, folder = sys.argv[1:4]
document = docx.Document()
for part in KINDS[kind]:
    part(document, folder)
document.save(out)
