// Drawing one model with OpenGL, and the 3D view's drawing callback.
#pragma once
#include "render/gl_textures.h"
#include "level/level.h"

class render3d;

// The page whose polygons blink magenta while flash_phase is on; -1 = none.
// Set when the list of models using a page is built.
extern int flash_page;

// The console line for a polygon kind the renderer cannot draw.
extern const char *const MODEL_RENDER_UNSUPPORTED;  // "Tried to render something not implemented"

// Polygon kind (0-15) of a polygon type byte, or -1 for a type without one.
int polygon_draw_kind(int type);

// Draws model `index` of lvl->models (event false) or lvl->event_models
// (event true) in the current GL matrices. Changes only 2D texturing, the
// bound texture and the current colour. Never reads outside the level's
// arrays: indices out of range, broken instance chains, polygons the decoder
// marked unsafe and corners beyond the vertex source are skipped; pages the
// level lacks are drawn untextured.
void draw_model(const gl_texture_set *set, const level *lvl, int index, bool event);

// on_draw callback of the 3D view: the light-blue background, then the
// selected model or event model of current_level through a perspective
// camera placed by the view's five values.
void draw_model_view(render3d *view, float *yaw, float *pitch, float *pan_x,
                     float *pan_y, float *distance);
