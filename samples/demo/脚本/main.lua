-- Entry script of the sample game.
local player = { x = 0, y = 0, speed = 4 }

function update(dt)
    if input.left then player.x = player.x - player.speed * dt end
    if input.right then player.x = player.x + player.speed * dt end
end

function draw()
    sprite.draw("图片/logo.bmp", player.x, player.y)
end
