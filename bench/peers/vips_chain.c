/* libvips running trimlet's whole jobs in one process through its C API, for the peer scripts:
 * no interpreter, no command-line start-up per step, no .v files between steps.
 *   vips_chain turn-cut IN OUT W H SHRINK
 *     a quarter turn right, the middle W x H of the turned picture, shrunk by a whole SHRINK;
 *     cut first, as trimlet plans it: the stored region that turns into the piece is read
 *     (sequentially, so decoding stops after its last row), held, then turned and shrunk.
 *   vips_chain rotate-cut IN OUT DEG W H
 *     bilinear rotation by DEG clockwise on the picture's own canvas, white outside, then the
 *     middle W x H: libvips computes only the piece's pixels, but the rotation reads the
 *     picture at random, so the whole picture is decoded into memory first.
 *   vips_chain rotate-cut-planned IN OUT DEG W H
 *     the same pixels, planned: only the stored rows and columns the piece's pixels sample are
 *     read (sequentially) and rotated.
 * Output is JPEG q90, 4:2:0, standard tables, as trimlet-cli writes it. */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <vips/vips.h>

static void fail(const char *what)
{
    fprintf(stderr, "vips_chain: %s: %s\n", what, vips_error_buffer());
    exit(1);
}

static int whole(const char *text)
{
    char *end = NULL;
    long v = strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || v < 1 || v > 1000000) {
        fprintf(stderr, "vips_chain: not a whole number: %s\n", text);
        exit(2);
    }
    return (int)v;
}

static void save(VipsImage *img, const char *out)
{
    if (vips_jpegsave(img, out, "Q", 90, "subsample_mode", VIPS_FOREIGN_SUBSAMPLE_ON, "optimize_coding", FALSE,
                      NULL))
        fail("save");
}

static VipsImage *load(const char *in, VipsAccess access)
{
    VipsImage *img = access == VIPS_ACCESS_SEQUENTIAL
                         ? vips_image_new_from_file(in, "access", access, NULL)
                         : vips_image_new_from_file(in, "access", access, "memory", TRUE, NULL);
    if (!img)
        fail(in);
    return img;
}

static void turn_cut(const char *in, const char *out, int cw, int ch, int factor)
{
    VipsImage *img = load(in, VIPS_ACCESS_SEQUENTIAL), *region, *held, *turned, *small;
    int w = vips_image_get_width(img), h = vips_image_get_height(img);
    /* The turned picture is h wide and w high; its pixel (x, y) is stored at (y, h - 1 - x). */
    if (cw > h)
        cw = h;
    if (ch > w)
        ch = w;
    int x = (h - cw) / 2, y = (w - ch) / 2;
    if (vips_extract_area(img, &region, y, h - x - cw, ch, cw, NULL))
        fail("extract_area");
    /* vips rot reads its input at random; the held region is small. */
    if (!(held = vips_image_copy_memory(region)))
        fail("copy_memory");
    if (vips_rot(held, &turned, VIPS_ANGLE_D90, NULL))
        fail("rot");
    if (vips_shrink(turned, &small, factor, factor, NULL))
        fail("shrink");
    save(small, out);
}

static void rotate_cut(const char *in, const char *out, double deg, int cw, int ch, int planned)
{
    double r = deg * M_PI / 180, a = cos(r), b = -sin(r), c = sin(r), d = cos(r);
    VipsImage *img = load(in, planned ? VIPS_ACCESS_SEQUENTIAL : VIPS_ACCESS_RANDOM), *src = img;
    int w = vips_image_get_width(img), h = vips_image_get_height(img);
    if (cw > w)
        cw = w;
    if (ch > h)
        ch = h;
    int px = (w - cw) / 2, py = (h - ch) / 2;
    /* Rotation about the picture's middle, as trimlet turns it on the same canvas. */
    double mx = w / 2.0 - 0.5, my = h / 2.0 - 0.5, ox = 0, oy = 0;
    if (planned) {
        /* The stored box the piece's corners map back to, one pixel wider for bilinear. */
        double lo_x = 1e30, hi_x = -1e30, lo_y = 1e30, hi_y = -1e30;
        for (int k = 0; k < 4; ++k) {
            double u = (k & 1 ? px + cw : px) - mx, v = (k & 2 ? py + ch : py) - my;
            double sx = a * u + c * v + mx, sy = b * u + d * v + my; /* the inverse, a transpose */
            lo_x = fmin(lo_x, sx), hi_x = fmax(hi_x, sx), lo_y = fmin(lo_y, sy), hi_y = fmax(hi_y, sy);
        }
        int x0 = (int)fmax(0, floor(lo_x) - 1), y0 = (int)fmax(0, floor(lo_y) - 1);
        int x1 = (int)fmin(w, ceil(hi_x) + 2), y1 = (int)fmin(h, ceil(hi_y) + 2);
        VipsImage *box;
        if (x1 <= x0 || y1 <= y0)
            fail("the piece samples no stored pixel");
        if (vips_extract_area(img, &box, x0, y0, x1 - x0, y1 - y0, NULL))
            fail("extract_area");
        if (!(src = vips_image_copy_memory(box)))
            fail("copy_memory");
        ox = x0, oy = y0;
    }
    VipsInterpolate *bilinear = vips_interpolate_new("bilinear");
    VipsArrayDouble *white = vips_array_double_newv(3, 255.0, 255.0, 255.0);
    VipsArrayInt *area = planned ? vips_array_int_newv(4, px, py, cw, ch) : vips_array_int_newv(4, 0, 0, w, h);
    VipsImage *turned, *piece;
    if (vips_affine(src, &turned, a, b, c, d, "interpolate", bilinear, "idx", -(mx - ox), "idy", -(my - oy), "odx",
                    mx, "ody", my, "oarea", area, "background", white, "extend", VIPS_EXTEND_BACKGROUND, NULL))
        fail("affine");
    piece = turned;
    if (!planned && vips_extract_area(turned, &piece, px, py, cw, ch, NULL))
        fail("extract_area");
    save(piece, out);
}

int main(int argc, char **argv)
{
    if (VIPS_INIT(argv[0]))
        fail("init");
    if (argc == 7 && strcmp(argv[1], "turn-cut") == 0)
        turn_cut(argv[2], argv[3], whole(argv[4]), whole(argv[5]), whole(argv[6]));
    else if (argc == 7 && (strcmp(argv[1], "rotate-cut") == 0 || strcmp(argv[1], "rotate-cut-planned") == 0))
        rotate_cut(argv[2], argv[3], atof(argv[4]), whole(argv[5]), whole(argv[6]), argv[1][10] == '-');
    else {
        fprintf(stderr, "usage: vips_chain turn-cut IN OUT W H SHRINK\n"
                        "       vips_chain rotate-cut[-planned] IN OUT DEG W H\n");
        return 2;
    }
    vips_shutdown();
    return 0;
}
