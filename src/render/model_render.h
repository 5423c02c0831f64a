// Drawing one model with OpenGL, alone or framed in the 3D view.
#pragma once
#include "render/gl_textures.h"
#include "level/level.h"

class render3d;


// Draws model `index` of lvl->models (event false) or lvl->event_models
// (event true) in the current GL matrices, the textured polygons on page
// `flash_page` in magenta (-1: none). Changes only 2D texturing, the
// bound texture and the current colour. Never reads outside the level's
// arrays: indices out of range, broken instance chains, polygons the decoder
// marked unsafe and corners beyond the vertex source are skipped; pages the
// level lacks are drawn untextured.
void draw_model(const gl_texture_set *set, const level *lvl, int index, bool event, int flash_page = -1);

// What the 3D view shows: one model of a level with the level's textures.
struct model_scene {
    const gl_texture_set *textures;
    const level *lvl;
    int index;           // into lvl->models or lvl->event_models; -1 = none
    bool event;
    int flash_page;      // page drawn magenta in this frame; -1 = none
};

// Draws the 3D view's frame: the light-blue background, then the scene's
// model through a perspective camera placed by the view's yaw, pitch, pan
// and distance. A scene without a model, or a view without area, shows the
// background only.
void draw_model_view(const model_scene *scene, const render3d *view);
